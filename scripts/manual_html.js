// Turns the manual's Markdown into the HTML page that weasyprint typesets.
//
//   node scripts/manual_html.js SOURCE.md HOST SOURCE_HASH OUTPUT.html
//
// Run from the repository root. Each picture is rendered first by the stand-in
// host from the command in the comment just above its image:
//
//   <!-- picture: render docs/manual/scenes/x.json --width 480 --height 270 -->
//   ![Caption](images/x.png)
//
// The host is called with those arguments plus `-o` and the image's path.
// Commands of pictures with Soft Edge's Sampling method add `--threads 1`: its
// noise follows the threads, and one thread gives the same picture every time. The
// text before the first `##` heading is the cover (title, subtitle, a line
// "Version X"); the contents list is made from the `##` and `###` headings.
// @VERSION@ anywhere in the text is the version the host reports, so the
// manual states the version of the build it was made with.
'use strict';

const fs = require('fs');
const path = require('path');
const {execFileSync} = require('child_process');
const {marked} = require('marked');

function fail(message) {
  console.error(`make_manual: ${message}`);
  process.exit(1);
}

function escapeHtml(text) {
  return text.replace(/&/g, '&amp;').replace(/</g, '&lt;').replace(/>/g, '&gt;').replace(/"/g, '&quot;');
}

function renderPictures(source, text, host) {
  const lines = text.split('\n');
  let count = 0;
  lines.forEach((line, i) => {
    const command = /^<!-- picture: (.+) -->$/.exec(line.trim());
    if (!command) return;
    const image = /^!\[[^\]]*\]\(([^)\s]+)\)$/.exec((lines[i + 1] || '').trim());
    if (!image) fail(`${source}:${i + 2}: a picture command must be followed by its image`);
    const target = path.resolve(path.dirname(source), image[1]);
    const args = command[1].trim().split(/\s+/).concat(['-o', target]);
    try {
      execFileSync(host, args, {stdio: ['ignore', 'ignore', 'pipe']});
    } catch (error) {
      const said = String(error.stderr || error.message).trim().split('\n').pop();
      fail(`${source}:${i + 1}: tessaline-host ${command[1].trim()}: ${said}`);
    }
    count += 1;
  });
  return count;
}

// A paragraph that holds one image alone becomes a figure captioned by the
// image's text; headings are gathered for the contents.
function toHtml(text) {
  const headings = [];
  marked.use({
    renderer: {
      paragraph(inner) {
        const image = /^<img src="([^"]*)" alt="([^"]*)">$/.exec(inner);
        if (!image) return false;
        return `<figure><img src="${image[1]}" alt=""><figcaption>${image[2]}</figcaption></figure>\n`;
      },
      heading(inner, level, raw, slugger) {
        const id = slugger.slug(raw);
        headings.push({level, id, inner});
        return `<h${level} id="${id}">${inner}</h${level}>\n`;
      },
    },
  });
  return {body: marked.parse(text), headings};
}

function contents(headings) {
  const items = headings
    .filter((h) => h.level === 2 || h.level === 3)
    .map((h) => `<li class="level${h.level}"><a href="#${h.id}">${h.inner}</a></li>`);
  return `<nav class="contents"><h2 class="contents-title">Contents</h2><ul>\n${items.join('\n')}\n</ul></nav>\n`;
}

function main() {
  const [source, host, hash, output] = process.argv.slice(2);
  if (!output) fail('usage: node scripts/manual_html.js SOURCE.md HOST SOURCE_HASH OUTPUT.html');
  const reported = execFileSync(host, ['--version'], {encoding: 'utf8'}).trim().split(/\s+/).pop();
  const text = fs.readFileSync(source, 'utf8').replace(/@VERSION@/g, reported);
  const pictures = renderPictures(source, text, host);

  const {body, headings} = toHtml(text);
  const split = body.indexOf('<h2');
  if (split < 0) fail(`${source}: no "##" section after the cover`);
  const title = headings.find((h) => h.level === 1);
  const version = /<p>Version ([^<\s]+)<\/p>/.exec(body.slice(0, split));
  if (!title || !version) fail(`${source}: the cover needs a "#" title and a line "Version X"`);
  const cover = body.slice(0, split).replace(version[0], `<p class="version">Version ${version[1]}</p>`);

  const name = `${title.inner} ${version[1]}`;
  const page = `<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<title>${escapeHtml(name)}</title>
<meta name="description" content="${escapeHtml(name)} user manual">
<meta name="keywords" content="source-sha256 ${escapeHtml(hash)}">
<link rel="stylesheet" href="manual.css">
</head>
<body>
<header class="cover">
${cover}</header>
${contents(headings)}<main>
${body.slice(split)}</main>
</body>
</html>
`;
  fs.writeFileSync(output, page);
  console.log(`make_manual: ${pictures} pictures rendered, ${headings.length} headings`);
}

main();
