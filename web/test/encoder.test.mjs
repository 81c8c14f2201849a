// Smoke test against the real encoder (build/bin/kestrava-encoder on the fake sound card): the client
// loads from the program's embedded files, gets its session from "/objects.js", draws pages from the
// "/update" replies, and shows "Connection Lost" once the encoder is gone. Skipped while the program is
// not built.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { spawn, execFileSync } from 'node:child_process';
import { existsSync, mkdtempSync, mkdirSync, rmSync, writeFileSync } from 'node:fs';
import { createServer } from 'node:net';
import { tmpdir } from 'node:os';
import { join, dirname } from 'node:path';
import { fileURLToPath } from 'node:url';
import { chromium } from 'playwright-core';

const root = join(dirname(fileURLToPath(import.meta.url)), '..', '..');
const ENCODER = join(root, 'build', 'bin', 'kestrava-encoder');
const TOOL = join(root, 'build', 'bin', 'kestrava-tool');
const CHROMIUM = process.env.CHROMIUM || '/usr/bin/chromium';
const SHOTS = join(root, 'build', 'web-screenshots', 'encoder');
const WAIT = { timeout: 20000 };
const missing = [ENCODER, TOOL, CHROMIUM].find((f) => !existsSync(f));

const freePort = () => new Promise((resolve) => {
  const s = createServer();
  s.listen(0, '127.0.0.1', () => { const { port } = s.address(); s.close(() => resolve(port)); });
});

async function waitForServer(url) {
  for (let i = 0; i < 200; i++) {
    try { return await fetch(url); } catch { await new Promise((r) => setTimeout(r, 100)); }
  }
  throw new Error('the encoder did not answer at ' + url);
}

test('browser client against the encoder', { skip: missing && 'no ' + missing }, async (t) => {
  const home = mkdtempSync(join(tmpdir(), 'kestrava-web-'));
  const signal = join(home, 'signal.f32');
  writeFileSync(signal, execFileSync(TOOL, ['test-signal', '--rate', '192000', '--seconds', '1'], { maxBuffer: 1 << 24 }));
  const port = await freePort();
  const encoder = spawn(ENCODER, ['--web-port', String(port), '--fake-input', signal],
    { cwd: home, env: { PATH: process.env.PATH, HOME: home }, stdio: 'ignore' });
  const browser = await chromium.launch({ executablePath: CHROMIUM, args: ['--no-sandbox'] });
  try {
    const base = 'http://127.0.0.1:' + port;
    const objects = await waitForServer(base + '/objects.js');
    if (objects.status !== 200) { t.skip('the encoder does not serve /objects.js yet'); return; }
    const script = await objects.text();
    assert.match(script, /let GUI_INDEX = "\d+";/);
    if (!/T\[\d+\]=\d+;/.test(script)) { t.skip('the program declares no parameters yet'); return; }

    const page = await browser.newPage({ viewport: { width: 1280, height: 900 } });
    const errors = [];
    page.on('pageerror', (e) => errors.push(e.message));
    mkdirSync(SHOTS, { recursive: true });
    for (const path of ['/stream', '/ioconfig/soundcards', '/security', '/gps', '/system_info']) {
      await page.goto(base + path);
      // Which elements the program declares is its parameter model's business: wait for its replies.
      await page.waitForFunction(() => Object.values(WIDGETS).some((w) => w.revision > 0 && w.label), null, WAIT);
      await page.screenshot({ path: join(SHOTS, path.slice(1).replace(/\//g, '_') + '.png') });
    }
    assert.deepEqual(errors, []);
    assert.ok((await page.locator('.kv-nav .nav-link').allInnerTexts()).some((t) => t.trim() !== ''), 'the pages are named');
    assert.equal(await page.evaluate(() => window.lmxConnectionStatus.errorStatus), -1);

    encoder.kill('SIGKILL');
    await page.locator('.kv-connection-overlay h2', { hasText: 'Connection Lost' }).waitFor(WAIT);
  } finally {
    await browser.close();
    if (encoder.exitCode === null) encoder.kill('SIGKILL');
    rmSync(home, { recursive: true, force: true });
  }
});
