// The client in a real browser (Debian's chromium, headless) against the stand-in server of
// fixture-server.mjs: pages render, server values show, user changes reach the server in the request
// format, password digests, and the connection overlay. Screenshots go to build/web-screenshots/.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { existsSync, mkdirSync } from 'node:fs';
import { createHash } from 'node:crypto';
import { join, dirname } from 'node:path';
import { fileURLToPath } from 'node:url';
import { chromium } from 'playwright-core';
import { startServer } from './fixture-server.mjs';

const CHROMIUM = process.env.CHROMIUM || '/usr/bin/chromium';
const SHOTS = join(dirname(fileURLToPath(import.meta.url)), '..', '..', 'build', 'web-screenshots');
const haveBrowser = existsSync(CHROMIUM);
const WAIT = { timeout: 15000 };

let browser; let server; let page; const pageErrors = [];

before(async () => {
  if (!haveBrowser) return;
  mkdirSync(SHOTS, { recursive: true });
  server = await startServer();
  browser = await chromium.launch({ executablePath: CHROMIUM, args: ['--no-sandbox'] });
  page = await browser.newPage({ viewport: { width: 1280, height: 900 } });
  page.on('pageerror', (e) => pageErrors.push(e.message));
});
after(async () => {
  if (browser) await browser.close();
  if (server) await server.close();
});

const sentAfter = (mark, pattern) => server.requests.slice(mark).some((r) => pattern.test(r));
async function waitForRequest(mark, pattern) {
  for (let i = 0; i < 300 && !sentAfter(mark, pattern); i++) await page.waitForTimeout(50);
  assert.ok(sentAfter(mark, pattern), 'no request matched ' + pattern);
}

test('browser client against the stand-in server', { skip: !haveBrowser && 'no ' + CHROMIUM }, async (t) => {
  await t.test('every page renders its menus from the layout and the server titles', async () => {
    const pages = [['/stream', 'Codec'], ['/ioconfig/soundcards', 'Input device'], ['/security', 'Protection'],
      ['/gps', 'GPS status'], ['/system_info', 'Web interface']];
    for (const [path, menu] of pages) {
      await page.goto(server.url + path);
      await page.locator('.kv-menu-header', { hasText: menu }).first().waitFor(WAIT);
      await page.screenshot({ path: join(SHOTS, path.slice(1).replace(/\//g, '_') + '.png') });
    }
    assert.equal(await page.title(), 'Kestrava encoder');
    assert.deepEqual(await page.locator('.kv-nav .nav-link').allInnerTexts(),
      ['Stream', 'Input', 'Security', 'GPS', 'System']);
    assert.deepEqual(pageErrors, []);
  });

  await t.test('server values are shown and user changes are sent in the request format', async () => {
    server.model.get(8094).value = true;
    await page.goto(server.url + '/stream');
    const vbr = page.locator('#widget8094 input[type=checkbox]');
    await vbr.waitFor({ state: 'attached', ...WAIT });
    await page.waitForFunction(() => document.querySelector('#widget8094 input').checked, null, WAIT);
    assert.equal(await page.locator('#widget4016 .kv-text-header').inputValue(), '576 kbit/s');

    let mark = server.requests.length;
    await page.locator('#widget8088 .custom-control-label').click();
    await waitForRequest(mark, /\/1F98,1\//);
    assert.equal(server.model.get(8088).value, true);

    mark = server.requests.length;
    await page.locator('#text4317').fill('127.0.0.1');
    await waitForRequest(mark, /\/10DD,9,49,50,55,46,48,46,48,46,49\//);
    assert.equal(server.model.get(4317).value, '127.0.0.1');
  });

  await t.test('"Add item" grows the destinations list', async () => {
    const rows = page.locator('.kv-list-row');
    assert.equal(await rows.count(), 1);
    await page.locator('button.kv-add').click();
    await page.waitForFunction(() => document.querySelectorAll('.kv-list-row').length === 2, null, WAIT);
    assert.equal(server.model.get(6998).value, 2);
    await page.locator('#text4318').waitFor(WAIT);
  });

  await t.test('the wave and MPX displays are drawn', async () => {
    for (const id of [10327, 10251]) {
      await page.waitForFunction((id) => {
        const c = document.getElementById('canvas' + id);
        if (!c || !c.width) return false;
        const d = c.getContext('2d').getImageData(0, 0, c.width, c.height).data;
        for (let i = 0; i < d.length; i += 4) if (d[i + 2] > 150) return true;  // the displays' blue strokes
        return false;
      }, id, WAIT);
    }
  });

  await t.test('a widget type the client does not draw is never requested', async () => {
    assert.ok(server.requests.some((r) => /\/[0-9A-F]*2857,/.test(r)), 'the wave display is requested');
    assert.ok(!server.requests.some((r) => /\/[0-9A-F]*377F[,/]/.test(r)), 'the recovery overview (14207) is not');
    assert.equal(await page.locator('text=UNKNOWN COMPONENT').count(), 0);
  });

  await t.test('a password is sent as the digest of the peppered text', async () => {
    await page.goto(server.url + '/security');
    await page.locator('#menu11283 .kv-advanced-toggle').click();
    const mark = server.requests.length;
    await page.locator('#text11284').fill('secret');
    const digest = createHash('sha256').update('key-one@~%secret/3^^').digest('hex');
    await waitForRequest(mark, new RegExp('/2C14,64,' + [...Buffer.from(digest)].join(',') + '/'));
    assert.equal(server.model.get(11284).value, digest);
  });

  await t.test('the message list shows the entry without its time stamp', async () => {
    await page.locator('#widget11086 button').click();
    const entry = page.locator('.kv-error-entry').first();
    await entry.waitFor(WAIT);
    assert.match(await entry.innerText(), /^Sound card restarted[\s\S]*2026\/12\/11 09:10:11[\s\S]*3x/);
  });

  await t.test('without WebSockets the requests are HTTP POSTs; an expired session offers a renewal', async () => {
    server.options.websockets = false;
    const mark = server.requests.length;
    await page.goto(server.url + '/gps');
    await waitForRequest(mark, /^POST \/update\d+\/(.*\/)?[0-9A-F]*2DFB\//);  // the GPS lock status (11771)
    server.options.expired = true;
    const overlay = page.locator('.kv-connection-overlay');
    await overlay.locator('button', { hasText: 'Renew session' }).waitFor(WAIT);
    assert.match(await overlay.innerText(), /Connection Lost[\s\S]*409 \(SERVER ERROR; session expired\)/);
    server.options.expired = false;
    server.options.websockets = true;
    await page.goto(server.url + '/stream');
    await page.locator('.kv-menu-header').first().waitFor(WAIT);
  });

  await t.test('a killed server shows "Connection Lost"', async () => {
    await server.close();
    await page.locator('.kv-connection-overlay h2', { hasText: 'Connection Lost' }).waitFor(WAIT);
    assert.match(await page.locator('.kv-connection-overlay').innerText(), /Server unreachable/);
    await page.screenshot({ path: join(SHOTS, 'connection_lost.png') });
    server = null;
  });
});
