#include "hostapp/resources/resource_reader.h"
#include "hostapp/resources/token_cursor.h"

namespace tess::resources {
namespace detail {
namespace {

// IDENT "long" ["short"] ;  -- real tables repeat IDs, so a repeat only warns
// and the first text stays.
void ParseEntry(TokenCursor& cursor, StringTable& table, const std::string& fileName,
                std::vector<std::string>& warnings) {
  const Token name = cursor.ExpectIdentifier();
  StringEntry entry;
  entry.line = name.line;
  entry.longText = cursor.ExpectString().text;
  if (cursor.Peek().kind == TokenKind::String) entry.shortText = cursor.Next().text;
  cursor.ExpectPunct(';');
  if (!table.entries.emplace(name.text, std::move(entry)).second)
    warnings.push_back(Warning(fileName, name.line, "duplicate string ID " + name.text));
}

}  // namespace
}  // namespace detail

Result<StringTable> ParseStringTable(std::string_view text, const std::string& fileName) {
  return detail::RunParser<StringTable>(fileName, [&](std::vector<std::string>& warnings) {
    detail::TokenCursor cursor(text);
    StringTable table;
    cursor.ExpectKeyword("STRINGTABLE");
    if (cursor.AtIdentifier()) table.name = cursor.Next().text;
    cursor.ExpectPunct('{');
    while (!cursor.AtPunct('}')) detail::ParseEntry(cursor, table, fileName, warnings);
    cursor.Next();
    cursor.ExpectEnd();
    return table;
  });
}

}  // namespace tess::resources
