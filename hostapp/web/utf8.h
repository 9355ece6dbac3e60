// Text that reaches a JSON answer or event comes from requests, files and the
// module, any of which may hold bytes that are no UTF-8. The JSON writer
// throws on those, so every such text is made valid first.
#ifndef TESSALINE_HOSTAPP_WEB_UTF8_H
#define TESSALINE_HOSTAPP_WEB_UTF8_H

#include <string>
#include <string_view>

namespace tess::web {

// The text with every byte that does not start or continue a well-formed
// UTF-8 sequence (overlong forms, surrogates and code points past U+10FFFF
// included) replaced by U+FFFD.
std::string ValidUtf8(std::string_view text);

}  // namespace tess::web

#endif
