// A stand-in for the encoder's web server, for the browser tests: serves web/www/, answers "/objects.js"
// and "/update" (HTTP POST and WebSocket messages) with the reply words of the widget update step, from a
// small parameter model of the pages in layout.json. Every request text is kept in `requests`.
import http from 'node:http';
import { createHash } from 'node:crypto';
import { readFile } from 'node:fs/promises';
import { join, dirname, extname } from 'node:path';
import { fileURLToPath } from 'node:url';

const WWW = join(dirname(fileURLToPath(import.meta.url)), '..', 'www');

export const TYPE = {
  OMITTED: 0, WAVE: 1, MPX: 2, RF: 3, PEQ: 4, DISPLAYONE: 5, DISPLAYTWO: 6, SLIDER: 7, BOOL_CHECK: 8, HEX: 9, DEC: 10,
  STRING: 11, ENUM: 12, BOOL_SWITCH: 13, ENUMACTION2: 14, MBBANDS: 15, BUTTON: 16, SPECTRUM: 17, ENUMACTION2A: 18,
  CORVIXKOEKERROR: 19, KESTRAVARECEIVER: 20, HEADER: 21, DISPLAYDBS: 22, LINK: 23, BOOL_STATUS: 24, LISTMANAGER: 25,
  DCWAVE: 26,
};
const TYPE_ORDER = Object.keys(TYPE);

// ---- reply words
export function textWords(s) {
  const b = Buffer.from(s, 'utf8');
  const out = [b.length];
  for (let i = 0; i < b.length; i += 2) out.push((b[i] << 8) | (i + 1 < b.length ? b[i + 1] : 0));
  return out;
}
export const w32 = (v) => [(v >>> 0) & 0xffff, (v >>> 0) >>> 16];
export const wordsToBytes = (words) => {
  const buf = Buffer.alloc(words.length * 2);
  words.forEach((w, i) => buf.writeUInt16LE(w & 0xffff, 2 * i));
  return buf;
};

// ---- the parameter model
function param(id, type, title, extra = {}) {
  return Object.assign({ id, type, title, active: true, enabled: true, editable: true, changed: false }, extra);
}
const sliders = (positions, position, def, text) => ({ positions, position, def, text });

export function makeModel() {
  const m = new Map();
  const add = (...ps) => ps.forEach((p) => m.set(p.id, p));
  for (const [id, t] of [[11030, 'Kestrava encoder'], [11797, 'Stream'], [10188, 'Input'], [11792, 'Security'],
    [11796, 'GPS'], [13570, 'System'], [11160, 'Codec'], [11803, 'Recovery'], [11804, 'Sound card'],
    [10053, 'Input device'], [10168, 'Tilt correction'], [11791, 'Stream protection'], [11283, 'Protection'],
    [11795, 'Time stamping'], [11794, 'NMEA and pulses'], [13023, 'GPS status'], [14511, 'Web interface'],
    [13442, 'Input'], [12324, 'Level'], [12323, 'MPX'], [12211, 'Software update'], [14462, 'Sound card setup'],
    [12210, 'Really update?']]) add(param(id, TYPE.HEADER, t, { editable: false }));
  add(param(6998, TYPE.LISTMANAGER, 'Destinations', { min: 0, max: 100, value: 1 }));
  for (let n = 0; n < 100; n++) {
    add(param(4217 + n, TYPE.BOOL_CHECK, 'Enabled', { value: true }),
      param(4317 + n, TYPE.STRING, 'IP address', { value: '', max_len: 64 }),
      param(4417 + n, TYPE.DEC, 'Port', Object.assign(sliders(65535, 9000, 9000, '9000'), { max_len: 5 })),
      param(4653 + n, TYPE.ENUM, 'Interface', { value: 0, options: [[0, 0, 1, 'Any'], [1, 0, 1, 'lo']] }),
      param(8300 + n, TYPE.STRING, 'Name', { value: '', max_len: 32 }));
  }
  add(param(6637, TYPE.ENUM, 'Codec version', { value: 3, options: [[-1, 1, 0, 'Versions'], [0, 0, 1, 'Version 0'],
    [1, 0, 1, 'Version 1'], [3, 0, 1, 'Version 3'], [0, -1, 0, '']].slice(0, 4) }),
  param(8088, TYPE.BOOL_SWITCH, 'Plus mode', { value: false }),
  param(4016, TYPE.SLIDER, 'Bit rate', sliders(100, 50, 40, '576 kbit/s')),
  param(8094, TYPE.BOOL_SWITCH, 'Variable bit rate', { value: false }),
  param(13257, TYPE.STRING, 'Average bit rate', { value: '571 kbit/s', editable: false }),
  param(13258, TYPE.BUTTON, 'Reset statistics'),
  param(4588, TYPE.SLIDER, 'Recovery delay', sliders(10, 2, 2, '20 ms')),
  param(14207, TYPE.RF, 'Recovery overview'),
  param(10327, TYPE.WAVE, 'Input wave'), param(10252, TYPE.WAVE, 'FM wave'),
  param(10320, TYPE.DISPLAYTWO, 'Output level', { editable: false }),
  param(10622, TYPE.DISPLAYDBS, 'Level scale', { editable: false }),
  param(10251, TYPE.MPX, 'MPX spectrum', { editable: false }),
  param(9851, TYPE.ENUM, 'Input device', { value: 0, options: [[0, 0, 1, 'Fake sound card']] }),
  param(542, TYPE.SLIDER, 'Input gain', sliders(200, 100, 100, '0.0 dB')),
  param(457, TYPE.BOOL_CHECK, 'Tilt correction', { value: false, show_inverted: false }),
  param(5349, TYPE.BOOL_SWITCH, 'Protect stream', { value: false }),
  param(5350, TYPE.STRING, 'Stream key', { value: 'key-one', max_len: 64 }),
  param(11284, TYPE.STRING, 'Password', { value: '', is_password: true, hash_with_id: 5350, max_len: 64 }),
  param(11285, TYPE.BUTTON, 'Apply password'),
  param(6679, TYPE.BOOL_SWITCH, 'GPS time stamping', { value: false }),
  param(11771, TYPE.BOOL_STATUS, 'GPS lock', { value: true }),
  param(11078, TYPE.STRING, 'Software version', { value: '1.0', editable: false }),
  param(8522, TYPE.BOOL_CHECK, 'Low bandwidth', { value: false }),
  param(11086, TYPE.CORVIXKOEKERROR, 'Messages', { errors: [[0, 3, '2026/12/11 09:10:11 Sound card restarted']] }));
  return m;
}

function descriptorWords(p) {
  switch (p.type) {
    case TYPE.BOOL_CHECK: case TYPE.BOOL_SWITCH: case TYPE.BOOL_STATUS: return [p.show_inverted ? 1 : 0];
    case TYPE.STRING: return [p.max_len || 0, p.is_password ? 1 : 0, 0, 0, ...w32(p.hash_with_id ?? -1)];
    case TYPE.SLIDER: case TYPE.DEC: case TYPE.HEX: return [1, 1, 10, p.max_len || 0, 0, 0, 0, ...w32(-1)];
    case TYPE.LISTMANAGER: return [...w32(p.min), ...w32(p.max)];
    case TYPE.DISPLAYTWO: return [0, ...w32(1), ...w32(-60), ...w32(0), ...w32(10), ...w32(5)];
    case TYPE.DISPLAYDBS: return [...w32(1), ...w32(-60), ...w32(0), ...w32(10), ...w32(5)];
    default: return [];
  }
}

let frame = 0;
function stateWords(p, width, height) {
  switch (p.type) {
    case TYPE.BOOL_CHECK: case TYPE.BOOL_SWITCH: case TYPE.BOOL_STATUS: return [p.value ? 1 : 0];
    case TYPE.STRING: {
      const shown = p.is_password ? (p.value ? '*' : '') : p.value;
      return [...textWords(shown), ...textWords(p.is_password ? '' : p.value)];
    }
    case TYPE.SLIDER: case TYPE.DEC: case TYPE.HEX:
      return [...w32(p.positions), ...w32(p.position), ...w32(p.def), ...textWords(p.text), ...textWords(p.text)];
    case TYPE.ENUM: {
      const out = [1, ...w32(p.value), p.options.length];
      for (const [v, level, sel, text] of p.options) out.push(...w32(v), level & 0xffff, sel, ...textWords(text));
      return out;
    }
    case TYPE.LISTMANAGER: return w32(p.value);
    case TYPE.DISPLAYTWO: return [8192, 9000, 9000, 9500, 0xffff, 0xffff, 6000, 6500, 0, 0, 0];
    case TYPE.CORVIXKOEKERROR: {
      const out = [];
      for (const [index, count, text] of p.errors) out.push(...w32(index), ...w32(count), ...(count ? textWords(text) : []));
      p.errors = p.errors.filter((e) => e[1] !== 0);
      return out;
    }
    case TYPE.WAVE: {
      const out = [width, height];
      if (width > 0) {
        out.push(1, 0, 0, ...w32(2048));
        for (let x = 0; x < width; x++) {
          const mid = Math.round(height / 2 + (height / 3) * Math.sin((x + frame) / 9));
          out.push(mid - 6, mid - 4, mid - 2, mid + 2, mid + 4, mid + 6, 2, height - 3);
        }
      }
      return out;
    }
    case TYPE.MPX: {
      const out = [width, height];
      if (width > 0) for (let x = 0; x < width; x++) {
        const top = Math.round(height * (0.2 + 0.5 * ((x * 7 + frame) % 50) / 50));
        out.push(top, top + 2, top + 4, height - 1, height - 1, height - 1);
      }
      return out;
    }
    default: return [];
  }
}

function applyInput(p, values) {
  if (!values.length) return;
  const text = (vs) => Buffer.from(vs.slice(1, 1 + vs[0])).toString('utf8');
  switch (p.type) {
    case TYPE.BOOL_CHECK: case TYPE.BOOL_SWITCH: p.value = values[0] !== 0; break;
    case TYPE.STRING: p.value = text(values); break;
    case TYPE.ENUM: p.value = (values[0] | (values[1] << 16)) | 0; break;
    case TYPE.LISTMANAGER: {
      if (values[0] === 2 && p.value < p.max) p.value++;
      else if (values[0] === 1 && p.value > p.min) p.value--;
      break;
    }
    case TYPE.SLIDER: case TYPE.DEC: {
      const f = new DataView(new ArrayBuffer(4));
      if (values[0] === 1) { f.setUint32(0, values[1]); p.position = Math.round(f.getFloat32(0) * p.positions); }
      else if (values[0] === 2) { f.setUint32(0, values[1]); p.position = Math.max(0, Math.min(p.positions, p.position + Math.round(f.getFloat32(0)))); }
      else if (values[0] === 3) { const n = Number(text(values.slice(1))); if (Number.isFinite(n)) p.position = n; }
      p.text = String(p.position);
      break;
    }
    case TYPE.CORVIXKOEKERROR: for (const i of values) p.errors.push([i, 0, '']); break;
    default: break;
  }
  p.changed = true;
}

// One "/update" request: groups "HEAD,v,v,.../", first value hexadecimal, the others decimal.
export function answerUpdate(model, groupsText) {
  const words = [];
  frame++;
  for (const group of groupsText.split('/').filter((g) => g !== '')) {
    const parts = group.split(',');
    const first = parseInt(parts[0], 16);
    const values = parts.slice(1).map((v) => (v === '' ? 0 : parseInt(v, 10)));
    const id = first & 0xffff;
    const forced = (first & 0x10000) !== 0;
    const expand = (first & 0x20000) !== 0;
    const view = first >> 18;
    const p = model.get(id);
    if (!p) continue;
    let width = 0; let height = 0;
    if ([TYPE.WAVE, TYPE.MPX].includes(p.type)) { width = values[0] || 0; height = values[1] || 0; }
    else applyInput(p, values);
    const graph = [TYPE.WAVE, TYPE.MPX, TYPE.DISPLAYTWO, TYPE.CORVIXKOEKERROR].includes(p.type);
    const send = forced || expand || p.changed || graph;
    if (!send) continue;
    p.changed = false;
    const body = [];
    if (expand) body.push(...textWords(p.title), ...descriptorWords(p));
    body.push(...stateWords(p, width, height));
    const flags = (p.active ? 1 : 0) | (p.enabled ? 2 : 0) | (p.editable ? 4 : 0) | (expand ? 8 : 0);
    words.push(p.type, body.length & 0xffff, body.length >>> 16, id, view & 0xffff, flags, ...body, 9999);
  }
  return words;
}

export function objectsJs(model, session, websockets = true) {
  const lines = ['let WEBSOCKETS_SUPPORTED = ' + websockets + ' ;\n\n', 'let GUI_INDEX = "' + session + '";\n',
    'const WIDGETTYPE = {' + TYPE_ORDER.map((n, i) => n + ': ' + i).join(', ') + '};\n',
    'const SCALETYPE = {None: 0,   Decibel: 1,   Percent: 2,   Hertz: 3,   Integer: 4};\n',
    'let WIDGETS = {};\n', 'let T = {};\n'];
  const limits = [['MAX_SIZE_X_WAVE', 2048], ['MAX_SIZE_X_KVRARECEIVER', 1024], ['MAX_SIZE_X_MBBANDS', 1024],
    ['MAX_SIZE_X_PEQ', 2048], ['MAX_SIZE_X_RF', 1024], ['MAX_SIZE_X_SPECTRUM', 64], ['MAX_SIZE_X_MPX', 1024], ['MAX_KOEK_ERRORS', 64]];
  let body = limits.map(([n, v]) => ('const ' + n + ' =').padEnd(32) + v + ';\n').join('');
  for (const p of model.values()) body += 'T[' + p.id + ']=' + p.type + ';';
  return lines.join('') + body + '\n';
}

const CONTENT = { '.html': 'text/html; charset=UTF-8', '.js': 'application/javascript; charset=UTF-8', '.css': 'text/css',
  '.svg': 'image/svg+xml', '.json': 'application/json', '.ico': 'image/x-icon', '.ttf': 'application/octet-stream',
  '.woff2': 'application/font-woff2' };

export async function startServer({ model = makeModel(), port = 0 } = {}) {
  const requests = [];
  const options = { websockets: true, expired: false };  // what the tests switch while the page runs
  const sockets = new Set();
  let session = 4711;
  const server = http.createServer(async (req, res) => {
    const path = decodeURIComponent(new URL(req.url, 'http://x').pathname);
    if (path.startsWith('/objects.js')) {
      res.writeHead(200, { 'Content-Type': 'application/javascript; charset=ISO-8859-1' });
      res.end(objectsJs(model, ++session, options.websockets));
      return;
    }
    const update = /^\/update(-?\d+)\/(.*)$/.exec(path);
    if (update) {
      requests.push(req.method + ' ' + path);
      if (options.expired) {
        res.writeHead(409, 'SERVER ERROR', { 'Content-Type': 'application/octet-stream' });
        res.end('Session is no longer active');
        return;
      }
      res.writeHead(200, { 'Content-Type': 'application/octet-stream' });
      res.end(wordsToBytes(answerUpdate(model, update[2])));
      return;
    }
    let rest = path.slice(1);
    if (rest === '' || !rest.includes('.')) rest = 'index.html';
    try {
      const data = await readFile(join(WWW, rest));
      res.writeHead(200, { 'Content-Type': CONTENT[extname(rest)] || 'application/octet-stream' });
      res.end(data);
    } catch {
      res.writeHead(404, { 'Content-Type': 'text/html; charset=UTF-8' });
      res.end('Requested file not found');
    }
  });
  server.on('connection', (s) => {
    sockets.add(s);
    s.on('close', () => sockets.delete(s));
    s.on('error', () => {});  // a browser that goes away mid-request
  });
  server.on('upgrade', (req, socket) => {
    const accept = createHash('sha1').update(req.headers['sec-websocket-key'] + '258EAFA5-E914-47DA-95CA-C5AB0DC85B11').digest('base64');
    socket.write('HTTP/1.1 101 Switching Protocols\r\nUpgrade: websocket\r\nConnection: Upgrade\r\nSec-WebSocket-Accept: ' + accept + '\r\n\r\n');
    let buffered = Buffer.alloc(0);
    socket.on('data', (chunk) => {
      buffered = Buffer.concat([buffered, chunk]);
      for (;;) {
        if (buffered.length < 2) return;
        const opcode = buffered[0] & 0x0f;
        let len = buffered[1] & 0x7f; let at = 2;
        if (len === 126) { if (buffered.length < 4) return; len = buffered.readUInt16BE(2); at = 4; }
        else if (len === 127) { if (buffered.length < 10) return; len = Number(buffered.readBigUInt64BE(2)); at = 10; }
        if (buffered.length < at + 4 + len) return;
        const mask = buffered.subarray(at, at + 4);
        const payload = Buffer.from(buffered.subarray(at + 4, at + 4 + len)).map((b, i) => b ^ mask[i & 3]);
        buffered = buffered.subarray(at + 4 + len);
        if (opcode === 8) { socket.end(Buffer.from([0x88, 0])); return; }
        if (opcode !== 1) continue;
        const text = payload.toString('utf8');
        const m = /^\/?update(-?\d+)\/(.*)$/.exec(text);
        if (!m) continue;
        requests.push(text);
        const body = Buffer.concat([Buffer.from([0, 0]), wordsToBytes(answerUpdate(model, m[2]))]);
        const head = body.length < 126 ? Buffer.from([0x82, body.length])
          : body.length < 65536 ? Buffer.from([0x82, 126, body.length >> 8, body.length & 0xff])
            : Buffer.concat([Buffer.from([0x82, 127]), (() => { const b = Buffer.alloc(8); b.writeBigUInt64BE(BigInt(body.length)); return b; })()]);
        socket.write(Buffer.concat([head, body]));
      }
    });
  });
  await new Promise((resolve) => server.listen(port, '127.0.0.1', resolve));
  return {
    url: 'http://127.0.0.1:' + server.address().port,
    model, requests, options,
    close() {
      for (const s of sockets) s.destroy();
      return new Promise((resolve) => server.close(resolve));
    },
  };
}

if (process.argv[1] === fileURLToPath(import.meta.url)) {
  const s = await startServer({ port: Number(process.argv[2] || 8090) });
  console.log('fixture server on ' + s.url);
}
