// The committed served files are what the sources and the pinned packages assemble to, so that an edit
// of web/src/ without re-running the assembly (or a changed package) does not go unnoticed.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { mkdtempSync, readFileSync, readdirSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join, dirname, relative } from 'node:path';
import { fileURLToPath } from 'node:url';

const web = join(dirname(fileURLToPath(import.meta.url)), '..');
const files = (dir) => readdirSync(dir, { recursive: true, withFileTypes: true })
  .filter((e) => e.isFile()).map((e) => relative(dir, join(e.parentPath ?? e.path, e.name))).sort();

test('web/www matches the assembly of web/src and the pinned packages', () => {
  const fresh = mkdtempSync(join(tmpdir(), 'kestrava-www-'));
  try {
    execFileSync(process.execPath, [join(web, 'tools', 'assemble.mjs'), fresh], { stdio: 'pipe' });
    const committed = join(web, 'www');
    assert.deepEqual(files(committed), files(fresh));
    for (const f of files(fresh)) {
      assert.ok(readFileSync(join(committed, f)).equals(readFileSync(join(fresh, f))), f + ' differs: run node tools/assemble.mjs');
    }
  } finally {
    rmSync(fresh, { recursive: true, force: true });
  }
});
