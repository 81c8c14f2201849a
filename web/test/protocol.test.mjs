// The client's request encoding and reply decoding, checked against request texts and reply words
// written out by hand from the protocol's definition (not produced by the client's own functions).
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { createHash } from 'node:crypto';
import { createRequire } from 'node:module';
import { TYPE } from './fixture-server.mjs';

const require = createRequire(import.meta.url);
const { createProtocol } = require('../src/js/protocol.js');
const { sha256 } = require('js-sha256');

function protocol(T) {
  const logs = [];
  const P = createProtocol({ WIDGETTYPE: TYPE, T, WIDGETS: {}, MAX_KOEK_ERRORS: 64, sha256, log: (m) => logs.push(m) });
  return { P, logs };
}
const bytes = (words) => {
  const b = new Uint8Array(words.length * 2);
  words.forEach((w, i) => { b[2 * i] = w & 0xff; b[2 * i + 1] = w >> 8; });
  return b;
};

test('request segments carry the head bits and the pending input', async (t) => {
  const { P, logs } = protocol({ 4317: TYPE.STRING, 13258: TYPE.BUTTON, 4016: TYPE.SLIDER, 6998: TYPE.LISTMANAGER,
    6637: TYPE.ENUM, 8088: TYPE.BOOL_SWITCH, 10327: TYPE.WAVE, 70000: TYPE.BOOL_CHECK });

  await t.test('text field entry, forced and asking for the title', () => {
    const w = P.getWidget(4317);
    P.SetString(w, '10.0.0.1');
    assert.equal(P.GenerateWidgetSegments(w, 1), '310DD,8,49,48,46,48,46,48,46,49/');
    assert.equal(P.GenerateWidgetSegments(w, 1), '210DD/', 'input sent once, forced cleared; title still wanted');
    P.SetString(w, '');
    assert.equal(P.GenerateWidgetSegments(w, 1), '210DD,0,/', 'an empty text is its length 0 and one empty value');
  });

  await t.test('button pressed once', () => {
    const w = P.getWidget(13258);
    w.requestInitial = false;
    P.GenerateWidgetSegments(w, 1);
    P.SetButton(w);
    assert.equal(P.GenerateWidgetSegments(w, 1), '133CA,0/');
    assert.equal(P.GenerateWidgetSegments(w, 1), '33CA/');
  });

  await t.test('slider drag, steps and typed text', () => {
    const w = P.getWidget(4016);
    w.requestInitial = false; w.forced = false;
    const cases = [
      [() => P.DragSlider(w, 0.5, 0), 'FB0,1,1056964608,0/'],
      [() => P.StepSlider(w, -1, 2), 'FB0,2,3212836864,2/'],
      [() => P.SetSliderString(w, '5'), 'FB0,3,1,53/'],
      [() => {}, 'FB0/'],
    ];
    for (const [act, expected] of cases) { act(); assert.equal(P.GenerateWidgetSegments(w, 1), expected); }
  });

  await t.test('32-bit values: list add and remove, enumeration values', () => {
    const list = P.getWidget(6998);
    list.requestInitial = false; list.forced = false;
    P.ActivateListItem(list, 3);
    assert.equal(P.GenerateWidgetSegments(list, 1), '1B56,2,3,0/');
    P.RemoveListItem(list, 1);
    assert.equal(P.GenerateWidgetSegments(list, 1), '1B56,1,1,0/');
    const e = P.getWidget(6637);
    e.requestInitial = false; e.forced = false;
    P.SetEnum(e, -1);
    assert.equal(P.GenerateWidgetSegments(e, 1), '19ED,65535,65535/');
    P.SetEnum(e, 70000);
    assert.equal(P.GenerateWidgetSegments(e, 1), '19ED,4464,1/');
  });

  await t.test('switch sends 1 or 0 once', () => {
    const w = P.getWidget(8088);
    w.requestInitial = false; w.forced = false;
    P.SetBoolean(w, true);
    assert.equal(P.GenerateWidgetSegments(w, 1), '1F98,1/');
    P.SetBoolean(w, false);
    assert.equal(P.GenerateWidgetSegments(w, 1), '1F98,0/');
    assert.equal(P.GenerateWidgetSegments(w, 1), '1F98/');
  });

  await t.test('graph views: none live, then two views in device pixels', () => {
    const w = P.getWidget(10327);
    assert.equal(P.GenerateWidgetSegments(w, 2), '32857,0,0/');
    w.requestInitial = false;
    w.view.push({ destroyed: false, viewing: true, browserWidth: 300.6, browserHeight: 80, forced: true },
      { destroyed: false, viewing: false, browserWidth: 100, browserHeight: 50, forced: false });
    P.SetZoom(w, -10, 0);
    assert.equal(P.GenerateWidgetSegments(w, 2), '12857,601,160,32758/42857,0,0/');
    assert.equal(P.GenerateWidgetSegments(w, 2), '2857,601,160/42857,0,0/');
  });

  await t.test('an id above 16 bits is never requested', () => {
    assert.equal(P.GenerateWidgetSegments(P.getWidget(70000), 1), '');
    assert.match(logs.at(-1), /^Cannot encode widget 70000, id too high/);
  });
});

test('password entries are sent as the digest of the peppered text', () => {
  const { P } = protocol({ 5350: TYPE.STRING, 11284: TYPE.STRING });
  // Descriptors as the server sends them: the password field names 5350 in hash_with_id.
  const title = [3, 0x4b65, 0x7900];
  P.decodeReply(bytes([TYPE.STRING, 13, 0, 5350, 0, 15, ...title, 64, 0, 0, 0, 0xffff, 0xffff, 2, 0x6b31, 2, 0x6b31, 9999,
    TYPE.STRING, 11, 0, 11284, 0, 15, ...title, 64, 1, 0, 0, 5350, 0, 0, 0, 9999]));
  const pw = P.getWidget(11284);
  assert.equal(pw.is_password, true);
  assert.equal(pw.hash_with_id, 5350);
  P.SetString(pw, 'secret');
  const digest = createHash('sha256').update('k1@~%secret/3^^').digest('hex');
  const expected = [...Buffer.from(digest)].join(',');
  assert.equal(P.GenerateWidgetSegments(pw, 1), '12C14,64,' + expected + '/');
});

test('reply records fill the widget records', async (t) => {
  await t.test('a check box block with title, descriptor and state', () => {
    const { P } = protocol({ 1234: TYPE.BOOL_CHECK });
    P.decodeReply(bytes([8, 6, 0, 1234, 0, 15, 6, 0x456E, 0x6162, 0x6C65, 0, 1, 9999]));
    const w = P.getWidget(1234);
    assert.deepEqual([w.label, w.active, w.enabled, w.editable, w.value, w.show_inverted, w.requestInitial],
      ['Enable', true, true, true, true, false, false]);
  });

  await t.test('titles: odd length, UTF-8 and the micro sign', () => {
    const { P } = protocol({ 1: TYPE.HEADER, 2: TYPE.HEADER, 3: TYPE.HEADER });
    const mu = [...Buffer.from('T &mu;s')];
    const muWords = [mu.length]; for (let i = 0; i < mu.length; i += 2) muWords.push((mu[i] << 8) | (mu[i + 1] || 0));
    P.decodeReply(bytes([
      21, 4, 0, 1, 0, 9, 5, 0x496E, 0x7075, 0x7400, 9999,
      21, 3, 0, 2, 0, 9, 3, 0xC3A9, 0x7400, 9999,        // "ét": two bytes, then one
      21, muWords.length, 0, 3, 0, 9, ...muWords, 9999]));
    assert.deepEqual([1, 2, 3].map((id) => P.getWidget(id).label), ['Input', 'ét', 'T µs']);
  });

  await t.test('a length 0 record changes only the flags', () => {
    const { P } = protocol({ 8088: TYPE.BOOL_SWITCH });
    P.decodeReply(bytes([13, 5, 0, 8088, 0, 15, 3, 0x4162, 0x6300, 0, 1, 9999]));
    P.decodeReply(bytes([13, 0, 0, 8088, 0, 2, 9999]));
    const w = P.getWidget(8088);
    assert.deepEqual([w.label, w.value, w.active, w.enabled, w.editable], ['Abc', true, false, true, false]);
  });

  await t.test('slider, enumeration with levels and list manager states', () => {
    const { P } = protocol({ 4016: TYPE.SLIDER, 6637: TYPE.ENUM, 6998: TYPE.LISTMANAGER });
    P.decodeReply(bytes([
      7, 11, 0, 4016, 0, 7, 100, 0, 25, 0, 40, 0, 3, 0x3235, 0x2500, 2, 0x3235, 9999,
      12, 22, 0, 6637, 0, 7, 1, 3, 0, 3,
      0xffff, 0xffff, 1, 0, 1, 0x4100,         // heading "A" at level 1
      3, 0, 0, 1, 1, 0x6200,                   // value 3, "b"
      5, 0, 0xffff, 1, 1, 0x6300,              // value 5, level -1, "c"
      9999,
      25, 2, 0, 6998, 0, 7, 3, 0, 9999]));
    const s = P.getWidget(4016);
    assert.deepEqual([s.positions, s.position, s.default_position, s.value, s.value_text, s.value_text_editable],
      [100, 25, 40, 0.25, '25%', '25']);
    const e = P.getWidget(6637);
    assert.equal(e.value, 3);
    assert.deepEqual(e.options.map((o) => [o.value, o.level, o.selectable, o.text]),
      [[-1, 1, false, 'A'], [3, 0, true, 'b'], [5, -1, true, 'c']]);
    assert.equal(P.getWidget(6998).value, 3);
  });

  await t.test('meters: fractions, and a fraction above 2 means none', () => {
    const { P } = protocol({ 10320: TYPE.DISPLAYTWO });
    P.decodeReply(bytes([6, 11, 0, 10320, 0, 3, 8192, 16384, 40000, 0, 0xffff, 0xffff, 4096, 4096, 1, 0, 1, 9999]));
    const m = P.getWidget(10320).meters;
    assert.deepEqual(m.main, [0.5, 1]);
    assert.deepEqual(m.extra, [-1, 0]);
    assert.deepEqual(m.overlay, [-1, -1]);
    assert.deepEqual([m.gate, m.scheme], [true, [false, true]]);
  });

  await t.test('message list entries: time stamp taken off, counts, removal', () => {
    const { P } = protocol({ 11086: TYPE.CORVIXKOEKERROR });
    const msg = [...Buffer.from('2026/12/11 09:10:11 Input lost')];
    const words = [msg.length]; for (let i = 0; i < msg.length; i += 2) words.push((msg[i] << 8) | (msg[i + 1] || 0));
    const plain = [3, 0x4f6b, 0x2100];  // "Ok!"
    const body = [2, 0, 3, 0, ...words, 5, 0, 1, 0, ...plain];
    P.decodeReply(bytes([19, body.length, 0, 11086, 0, 3, ...body, 9999]));
    const w = P.getWidget(11086);
    assert.deepEqual([w.errors[2].text, w.errors[2].time, w.errors[2].count], ['Input lost', '2026/12/11 09:10:11', 3]);
    assert.deepEqual([w.errors[5].text, w.errors[5].time], ['Ok!', '']);
    P.decodeReply(bytes([19, 4, 0, 11086, 0, 3, 2, 0, 0, 0, 9999]));
    assert.equal(w.errors[2].count, 0);
  });

  await t.test('a pending user value survives the reply', () => {
    const { P } = protocol({ 8088: TYPE.BOOL_SWITCH, 4317: TYPE.STRING });
    const b = P.getWidget(8088); const s = P.getWidget(4317);
    P.SetBoolean(b, true);
    P.SetString(s, 'typed');
    P.decodeReply(bytes([13, 1, 0, 8088, 0, 7, 0, 9999, 11, 4, 0, 4317, 0, 7, 1, 0x7300, 1, 0x7300, 9999]));
    assert.deepEqual([b.value, s.value_text], [true, 'typed']);
  });

  await t.test('inconsistent records are logged and decoding goes on by the length word', () => {
    const { P, logs } = protocol({ 1: TYPE.BOOL_CHECK, 2: TYPE.BOOL_CHECK });
    P.decodeReply(bytes([
      9, 1, 0, 1, 0, 7, 1, 9999,          // type code of another type
      8, 2, 0, 2, 0, 7, 1, 5, 1234,       // length 2 but one state word, then a wrong check word
      8, 1, 0, 1, 0, 3, 0, 9999]));
    assert.ok(logs.some((l) => l.endsWith('which does not correspond to the received type')));
    assert.ok(logs.some((l) => l.includes('Reported length was 2')));
    assert.ok(logs.some((l) => l.includes('Expected checksum is 9999 but saw 1234')));
    assert.equal(P.getWidget(1).value, false, 'the third record was read from where the length word put it');
    assert.equal(P.getWidget(2).value, true);
  });

  await t.test('types this client does not draw are records of type "unknown", never requested', () => {
    const { P } = protocol({ 14207: TYPE.RF, 1: TYPE.PEQ });
    const w = P.getWidget(14207);
    assert.deepEqual([w.type, w.label], ['unknown', 'Unknown widget #14207']);
    assert.equal(P.GenerateWidgetSegments(w, 1), '');
    P.decodeReply(bytes([3, 2, 0, 14207, 0, 1, 0, 0, 9999, 8, 1, 0, 5, 0, 1, 1, 9999]));
    assert.equal(w.active, true);
    assert.equal(P.getWidget(5).type, 'unknown', 'an id the server never announced');
  });

  await t.test('a graph record for a view the widget lacks is skipped', () => {
    const { P, logs } = protocol({ 10327: TYPE.WAVE, 8088: TYPE.BOOL_SWITCH });
    P.decodeReply(bytes([1, 4, 0, 10327, 1, 3, 2, 1, 7, 7, 9999, 13, 1, 0, 8088, 0, 3, 1, 9999]));
    assert.match(logs[0], /has an undefined view for idx=1$/);
    assert.equal(P.getWidget(8088).value, true);
  });
});
