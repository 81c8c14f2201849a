// Writes the browser client's served files into web/www/ from web/src/ and the pinned npm packages in
// web/node_modules/ (npm ci first). The output is committed, so the C++ build embeds it without network.
// Run: cd web && npm ci && node tools/assemble.mjs [output folder, web/www by default]
import { readFileSync, writeFileSync, mkdirSync } from 'node:fs';
import { dirname, join } from 'node:path';
import { fileURLToPath } from 'node:url';
import { makeFavicon } from './favicon.mjs';

const web = join(dirname(fileURLToPath(import.meta.url)), '..');
const src = (p) => join(web, 'src', p);
const mod = (p) => join(web, 'node_modules', p);
const read = (p) => readFileSync(p, 'utf8');
const OUT = process.argv[2] || join(web, 'www');
const out = (p, data) => {
  const path = join(OUT, p);
  mkdirSync(dirname(path), { recursive: true });
  writeFileSync(path, data);
};

const PRODUCT = { primary: '#831f82', secondary: '#f36600' };
const SECOND_BRAND = { primary: '#d2172e', secondary: '#0ecaca' };
const BOOTSTRAP_THEME = { primary: '#007bff', secondary: '#6c757d' };

// ---- colour arithmetic as the style sheet compiler of the framework does it (HSL lighten/darken, mix)
const hex = (c) => [1, 3, 5].map((i) => parseInt(c.slice(i, i + 2), 16));
const toHex = (rgb) => '#' + rgb.map((v) => Math.max(0, Math.min(255, Math.round(v))).toString(16).padStart(2, '0')).join('');
function toHsl([r, g, b]) {
  r /= 255; g /= 255; b /= 255;
  const max = Math.max(r, g, b); const min = Math.min(r, g, b); const l = (max + min) / 2;
  if (max === min) return [0, 0, l];
  const d = max - min;
  const s = l > 0.5 ? d / (2 - max - min) : d / (max + min);
  let h = max === r ? (g - b) / d + (g < b ? 6 : 0) : max === g ? (b - r) / d + 2 : (r - g) / d + 4;
  return [h / 6, s, l];
}
function fromHsl([h, s, l]) {
  if (s === 0) return [l * 255, l * 255, l * 255];
  const q = l < 0.5 ? l * (1 + s) : l + s - l * s; const p = 2 * l - q;
  const f = (t) => {
    t = (t + 1) % 1;
    if (t < 1 / 6) return p + (q - p) * 6 * t;
    if (t < 1 / 2) return q;
    if (t < 2 / 3) return p + (q - p) * (2 / 3 - t) * 6;
    return p;
  };
  return [f(h + 1 / 3) * 255, f(h) * 255, f(h - 1 / 3) * 255];
}
const lightness = (c, amount) => { const h = toHsl(hex(c)); h[2] = Math.max(0, Math.min(1, h[2] + amount)); return toHex(fromHsl(h)); };
const mix = (a, b, weight) => toHex(hex(a).map((v, i) => v * weight + hex(b)[i] * (1 - weight)));

// Every shade the framework derives from one theme colour.
function shades(c) {
  const list = [c];
  for (const a of [0.075, 0.1, 0.125, 0.15]) list.push(lightness(c, -a));
  for (const a of [0.25, 0.35]) list.push(lightness(c, a));
  for (let level = 1; level <= 12; level++) list.push(mix('#000000', c, level * 0.08), mix('#ffffff', c, level * 0.08));
  list.push(lightness(mix('#ffffff', c, 0.72), -0.05)); // table hover
  list.push(mix('#ffffff', c, 0.15));                     // button focus shadow
  list.push(lightness(mix('#000000', c, 0.48), -0.1));    // alert link
  return list;
}

function recolour(css, theme) {
  const map = new Map();
  for (const k of Object.keys(BOOTSTRAP_THEME)) {
    const from = shades(BOOTSTRAP_THEME[k]); const to = shades(theme[k]);
    from.forEach((f, i) => { if (!map.has(f)) map.set(f, to[i]); });
  }
  css = css.replace(/#[0-9a-f]{6}\b/g, (m) => map.get(m) || m);
  return css.replace(/rgba\((\d+), (\d+), (\d+), /g, (m, r, g, b) => {
    const to = map.get(toHex([+r, +g, +b]));
    return to ? 'rgba(' + hex(to).join(', ') + ', ' : m;
  });
}

const scaleRem = (css, factor) => css.replace(/(\d*\.?\d+)rem\b/g, (m, v) => +(parseFloat(v) * factor).toFixed(4) + 'rem');

// ---- style sheets: the framework's styles in our colours, the icon font (solid), the upload widget, ours
function styles(theme) {
  const bootstrap = read(mod('bootstrap/dist/css/bootstrap.css')).replace(/\/\*# sourceMappingURL=.*\*\//, '');
  const icons = [read(mod('@fortawesome/fontawesome-free/css/fontawesome.css')),
    read(mod('@fortawesome/fontawesome-free/css/solid.css')).replace(/\.\.\/webfonts\//g, '../fonts/')].join('\n');
  const own = read(src('css/client.css'))
    .replace(/var\(--kv-primary\)/g, theme.primary).replace(/var\(--kv-secondary\)/g, theme.secondary);
  return [recolour(bootstrap, theme), icons, read(mod('filepond/dist/filepond.css')), own].join('\n');
}
const plain = styles(PRODUCT);
out('css/styles.css', plain);
out('css/styles_ruk.css', scaleRem(plain, 0.75));
out('css/styles_lmx.css', scaleRem(plain, 0.85));
out('css/styles_veltra.css', styles(SECOND_BRAND));

out('fonts/fa-solid-900.ttf', readFileSync(mod('@fortawesome/fontawesome-free/webfonts/fa-solid-900.ttf')));
out('fonts/fa-solid-900.woff2', readFileSync(mod('@fortawesome/fontawesome-free/webfonts/fa-solid-900.woff2')));

// ---- scripts: the vendored libraries (each keeps its own notice) and the client, in load order
const client = [
  mod('vue/dist/vue.min.js'), mod('vue-router/dist/vue-router.min.js'), mod('popper.js/dist/umd/popper.min.js'),
  mod('filepond/dist/filepond.min.js'), mod('js-sha256/build/sha256.min.js'), src('js/protocol.js'), src('js/app.js'),
].map((p) => read(p).replace(/\/\/# sourceMappingURL=.*$/m, '')).join('\n;\n');
out('js/dynamic-min.js', client);
out('js/objectsloader-min.js', read(src('js/objectsloader.js')));

out('index.html', read(src('index.html')));
out('layout.json', JSON.stringify(JSON.parse(read(src('layout.json')))));
out('images/logo.svg', read(src('images/logo.svg')));
out('images/logo_veltra.svg', read(src('images/logo_veltra.svg')));
out('favicon.ico', makeFavicon(PRODUCT.primary));

// ---- about page: our notice, then the licence of every library the client ships
const LIBRARIES = [
  ['Vue', 'vue', 'LICENSE'], ['Vue Router', 'vue-router', 'LICENSE'], ['Bootstrap', 'bootstrap', 'LICENSE'],
  ['Popper.js', 'popper.js', null], ['FilePond', 'filepond', 'LICENSE'],
  ['Font Awesome Free (solid icon font and its style sheet)', '@fortawesome/fontawesome-free', 'LICENSE.txt'],
  ['js-sha256', 'js-sha256', 'LICENSE.txt'],
];
// The package ships its notice only in its script header; this is the licence it names there.
const MIT_POPPER = `The MIT License (MIT)

Copyright (C) Federico Zivolo 2020

Permission is hereby granted, free of charge, to any person obtaining a copy of this software and associated
documentation files (the "Software"), to deal in the Software without restriction, including without limitation
the rights to use, copy, modify, merge, publish, distribute, sublicense, and/or sell copies of the Software, and
to permit persons to whom the Software is furnished to do so, subject to the following conditions:

The above copyright notice and this permission notice shall be included in all copies or substantial portions of
the Software.

THE SOFTWARE IS PROVIDED "AS IS", WITHOUT WARRANTY OF ANY KIND, EXPRESS OR IMPLIED, INCLUDING BUT NOT LIMITED TO
THE WARRANTIES OF MERCHANTABILITY, FITNESS FOR A PARTICULAR PURPOSE AND NONINFRINGEMENT. IN NO EVENT SHALL THE
AUTHORS OR COPYRIGHT HOLDERS BE LIABLE FOR ANY CLAIM, DAMAGES OR OTHER LIABILITY, WHETHER IN AN ACTION OF
CONTRACT, TORT OR OTHERWISE, ARISING FROM, OUT OF OR IN CONNECTION WITH THE SOFTWARE OR THE USE OR OTHER DEALINGS
IN THE SOFTWARE.`;
const esc = (s) => s.replace(/&/g, '&amp;').replace(/</g, '&lt;').replace(/>/g, '&gt;');
const notices = LIBRARIES.map(([title, pkg, file]) => {
  const meta = JSON.parse(read(mod(pkg + '/package.json')));
  const text = file ? read(mod(pkg + '/' + file)) : MIT_POPPER;
  return `<h3>${esc(title)} ${esc(meta.version)}</h3>\n<pre>${esc(text.trim())}</pre>`;
}).join('\n');
out('About.html', read(src('About.html')).replace('<!-- LIBRARY NOTICES -->', notices));
console.log(OUT + ' written');
