// Writes the page as one file that works opened straight from the disk (a
// file:// address), where a browser lets a page fetch nothing beside it: no
// module script by its address, no worker script, no .wasm file.  The style
// and every script go inside the page: the zip library's build that sets a
// global, the module built in one file (its WebAssembly inside as base64,
// setting the global createD88cut), and the page's own modules joined into
// one inline module script.
//
//   node single_page.mjs WEB_SOURCE_DIR MODULE_JS FFLATE_UMD_JS OUT_HTML
import fs from 'node:fs';
import path from 'node:path';

const [source, moduleJs, fflateJs, outHtml] = process.argv.slice(2);
if (!outHtml) {
  console.error('usage: node single_page.mjs WEB_SOURCE_DIR MODULE_JS FFLATE_UMD_JS OUT_HTML');
  process.exit(2);
}
const read = (file) => fs.readFileSync(file, 'utf8');

// Replaces `what` in `text`, which must hold it exactly once.
function replaceOnce(text, what, by, where) {
  const at = text.indexOf(what);
  if (at < 0 || text.indexOf(what, at + what.length) >= 0) {
    throw new Error(`${where}: expected "${what}" exactly once`);
  }
  return text.slice(0, at) + by + text.slice(at + what.length);
}

// Inside <script> or <style>, the text may not close the element.
function inline(code) {
  return code.replace(/<\/(script|style)/gi, '<\\/$1');
}

// runs.js as a constant `runs` holding what it exports, as the page's
// `import * as runs` did.
function runsModule() {
  const text = read(path.join(source, 'runs.js'));
  const names = [...text.matchAll(/^export (?:async )?function (\w+)/gm)].map((m) => m[1]);
  if (names.length === 0 || /^export (?!(async )?function )/m.test(text)) {
    throw new Error('runs.js: expected only exported functions');
  }
  const body = text.replace(/^export (?=(async )?function )/gm, '');
  return `const runs = (() => {\n${body}\nreturn { ${names.join(', ')} };\n})();\n`;
}

// app.js with its imports taken from the globals and the constant above.
function appModule() {
  let text = read(path.join(source, 'app.js'));
  text = replaceOnce(text, "import createD88cut from './d88cut.js';\n", '', 'app.js');
  text = replaceOnce(text, "import { zipSync } from './fflate.js';\n",
                     'const { zipSync } = fflate;\n', 'app.js');
  text = replaceOnce(text, "import * as runs from './runs.js';\n", runsModule(), 'app.js');
  if (/^import /m.test(text)) throw new Error('app.js: an import this page cannot inline');
  return text;
}

let html = read(path.join(source, 'index.html'));
html = replaceOnce(html, '<link rel="stylesheet" href="style.css">',
                   `<style>\n${inline(read(path.join(source, 'style.css')))}</style>`, 'index.html');
html = replaceOnce(html, '<script type="module" src="app.js"></script>',
                   `<script>\n${inline(read(fflateJs))}\n</script>\n` +
                   `<script>\n${inline(read(moduleJs))}\n</script>\n` +
                   `<script type="module">\n${inline(appModule())}</script>`, 'index.html');
// Nothing left that the page would fetch from beside it.
const outside = html.match(/\b(?:src|href)="(?!data:|#)[^"]*"/);
if (outside) throw new Error(`index.html: still refers to ${outside[0]}`);
fs.writeFileSync(outHtml, html);
