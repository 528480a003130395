// The entry points under Node, through the page's own runs.js, against the
// native programs run on the same bytes.
//
//   D88CUT_NODE_MODULE=build-web/node/d88cut-node.js D88CUT_TOOLS=build/tools \
//   D88CUT_IMAGES=build/demo/images node --test web/test/entry_test.mjs
import assert from 'node:assert/strict';
import { execFileSync, spawnSync } from 'node:child_process';
import fs from 'node:fs';
import { createRequire } from 'node:module';
import os from 'node:os';
import path from 'node:path';
import { before, test } from 'node:test';
import { fileURLToPath } from 'node:url';

import * as runs from '../runs.js';

const require = createRequire(import.meta.url);
const env = (name) => {
  const value = process.env[name];
  if (!value) throw new Error(`${name} is not set`);
  return path.resolve(value);
};
const tools = env('D88CUT_TOOLS');
const images = env('D88CUT_IMAGES');
const tool = (program) => path.join(tools, program, program);
const SAMPLES = ['vorxcut', 'abcut', 'oabcut'];

let mod;
before(async () => {
  mod = await require(env('D88CUT_NODE_MODULE'))();
});

// The native program run in a fresh folder: its outputs and its files.
function native(program, args, cwd = fs.mkdtempSync(path.join(os.tmpdir(), 'd88cut-'))) {
  const done = spawnSync(tool(program), args, { cwd });
  const files = {};
  for (const name of fs.readdirSync(cwd)) files[name] = fs.readFileSync(path.join(cwd, name));
  fs.rmSync(cwd, { recursive: true });
  return { status: done.status, stdout: done.stdout, stderr: done.stderr, files };
}

function filesOf(result) {
  return Object.fromEntries(result.files.map((f) => [f.name, Buffer.from(f.bytes)]));
}

function same(web, want) {
  assert.equal(web.status, want.status);
  assert.deepEqual(Buffer.from(web.stdout), want.stdout);
  assert.deepEqual(Buffer.from(web.stderr), want.stderr);
  assert.deepEqual(filesOf(web), want.files);
}

// Each program on its sample, and disks in other containers than D88:
// sector images, an SCP flux dump and a zipped KryoFlux set.
const IMAGES = [...SAMPLES.map((p) => [p, `${p}.d88`]), ['vorxcut', 'full-2hd.fdi'],
  ['abcut', 'abcut-1.nfd'], ['vorxcut', 'vorxcut-1.scp'], ['oabcut', 'oabcut-1-kryoflux.zip']];

for (const [program, name] of IMAGES) {
  test(`${name}: inspect, every disk and the whole image as the console programs`, () => {
    const file = path.join(images, name);
    const bytes = fs.readFileSync(file);
    const at = runs.putImage(mod, bytes, name);

    const inspected = runs.inspect(mod, at);
    const json = execFileSync(tool('d88info'), ['--json', '--', name], { cwd: images });
    assert.equal(inspected.status, 0);
    assert.deepEqual(Buffer.from(inspected.stdout), json);

    const doc = inspected.doc;
    const d88 = doc.container.format === 'D88';
    doc.disks.forEach((disk, i) => {
      const diskPath = runs.diskImage(mod, at, i);
      // A D88 disk is its bytes of the file; any other container holds one
      // disk, which the console program cuts from the file itself.
      let one = file;
      if (d88) {
        const end = i + 1 < doc.disks.length ? doc.disks[i + 1].offset : bytes.length;
        one = path.join(os.tmpdir(), `d88cut-one-${process.pid}.d88`);
        fs.writeFileSync(one, bytes.subarray(disk.offset, end));
        assert.deepEqual(Buffer.from(mod.FS.readFile(diskPath)), fs.readFileSync(one));
      } else {
        // The one disk as d88conv writes it.
        assert.equal(doc.disks.length, 1);
        const converted = path.join(os.tmpdir(), `d88cut-conv-${process.pid}.d88`);
        execFileSync(tool('d88conv'), ['-f', '-o', converted, file]);
        assert.deepEqual(Buffer.from(mod.FS.readFile(diskPath)), fs.readFileSync(converted));
        fs.rmSync(converted);
      }
      // The disk cut as d88cut and the page cut it, by the program alone.
      same(runs.cutDisk(mod, program, at, i), native(program, [one]));
      if (d88) fs.rmSync(one);
    });
    same(runs.cut(mod, program, at), native(program, [file]));
  });
}

test('the programs, their kinds, the limits and KryoFlux names come from the module', () => {
  const facts = runs.facts(mod);
  assert.deepEqual(facts.programs.map((p) => p.program).sort(), [...SAMPLES].sort());
  for (const { program, kinds } of facts.programs) {
    // The kinds by number as the console program's help lists them, and
    // the recognition lines it prints on its sample of every kind.
    const help = execFileSync(tool(program), ['--help']).toString('utf-8');
    const listed = [...help.matchAll(/^ {2}(\d+) {2}(.+)$/gm)].map((m) => [Number(m[1]), m[2]]);
    assert.deepEqual(kinds.map((k) => [k.number, k.kind]), listed, program);
    const lines = native(program, ['--encoding=utf-8', path.join(images, `${program}.d88`)])
      .stderr.toString('utf-8').split('\n').filter((line) => line !== '');
    assert.ok(lines.length > 0);
    for (const line of lines) assert.ok(kinds.some((k) => k.message === `${line}\n`), line);
  }
  assert.equal(facts.largestImage, 256 * 1024 * 1024);
  assert.equal(facts.largestContainer, 16 * 1024 * 1024);
  assert.equal(facts.archiveTotal, 128 * 1024 * 1024);
  const names = [['track00.0.raw', 'track'], ['ディスク79.1.RAW', 'ディスク'], ['00.1.raw', ''],
    ['track00.2.raw', null], ['track0.0.raw', null], ['track00.0.raw.zip', null]];
  for (const [name, prefix] of names) assert.equal(runs.streamFilePrefix(mod, name), prefix, name);
});

test('a disk number forces its kind onto the first disk, as on the console', () => {
  const file = path.join(images, 'abcut.d88');
  const at = runs.putImage(mod, fs.readFileSync(file), 'abcut.d88');
  same(runs.cut(mod, 'abcut', at, 1), native('abcut', [file, '1']));
  same(runs.cutDisk(mod, 'abcut', at, 0, 1), native('abcut', [file, '1']));
});

test('runs that cannot be made say so', () => {
  const at = runs.putImage(mod, fs.readFileSync(path.join(images, 'abcut.d88')), 'abcut.d88');
  const cases = [
    ['a program the build does not hold', () => runs.run(mod, 'nocut', [at]).status, -1],
    ['a disk the image does not hold', () => runs.diskImage(mod, at, 2), null],
    ['a negative disk index', () => runs.diskImage(mod, at, -1), null],
    ['an image that is not there', () => runs.diskImage(mod, '/img/none.d88', 0), null],
    ['a cut of a disk the image does not hold', () => runs.cutDisk(mod, 'abcut', at, 2).status, -1],
    ['a cut by a program the build does not hold', () => runs.cutDisk(mod, 'x', at, 0).status, -1],
    ['a cut with a disk number beyond the kinds', () => runs.cutDisk(mod, 'abcut', at, 0, 3).status,
      -1],
  ];
  for (const [what, call, want] of cases) assert.equal(call(), want, what);
});

test('file names are kept as one path part and never read as options', () => {
  const bytes = fs.readFileSync(path.join(images, 'oabcut.d88'));
  const cases = [
    ['--help', '--help'],
    ['a/b.d88', 'a_b.d88'],
    ['..', 'image'],
    ['', 'image'],
    ['ディスク.d88', 'ディスク.d88'],
  ];
  for (const [given, kept] of cases) {
    const at = runs.putImage(mod, bytes, given);
    assert.equal(at, `/img/${kept}`);
    const inspected = runs.inspect(mod, at);
    assert.equal(inspected.status, 0, given);
    assert.equal(inspected.doc.image, kept);
    assert.equal(inspected.doc.disks.length, 3);
  }
  assert.deepEqual(mod.FS.readdir('/img').filter((n) => !n.startsWith('.')), ['ディスク.d88']);
});

// Every dump that once crashed the programs (tests/regression/): the page
// ends each run by itself and says what the console programs say, the
// image named as the page names it.
const REGRESSION = path.join(path.dirname(fileURLToPath(import.meta.url)), '..', '..', 'tests',
                             'regression');

test('dumps that crashed the decoder: inspected and cut as on the console', () => {
  const dumps = fs.readdirSync(REGRESSION).filter((n) => /\.(scp|hfe|mfi|raw)$/.test(n));
  assert.ok(dumps.length >= 2);
  for (const name of dumps) {
    const file = path.join(REGRESSION, name);
    const at = runs.putImage(mod, fs.readFileSync(file), name);
    const inspected = runs.inspect(mod, at);
    assert.equal(inspected.status, 0, name);
    assert.deepEqual(Buffer.from(inspected.stdout),
                     execFileSync(tool('d88info'), ['--json', '--', name], { cwd: REGRESSION }));
    for (const program of SAMPLES) {
      const want = native(program, [file]);
      want.stderr = Buffer.from(want.stderr.toString('latin1').split(file).join(at), 'latin1');
      same(runs.cut(mod, program, at), want);
    }
  }
});

// The files of every folder a native `d88cut -o DIR` left, by folder.
function nativeFolders(file) {
  const out = fs.mkdtempSync(path.join(os.tmpdir(), 'd88cut-'));
  execFileSync(tool('d88cut'), ['-o', out, file]);
  const folders = {};
  for (const folder of fs.readdirSync(out)) {
    folders[folder] = {};
    for (const name of fs.readdirSync(path.join(out, folder))) {
      folders[folder][name] = fs.readFileSync(path.join(out, folder, name));
    }
  }
  fs.rmSync(out, { recursive: true });
  return folders;
}

test('an archive of two games, a member named in Shift-JIS: as d88info, d88cut and each program',
  () => {
    const file = path.join(images, 'games.zip');
    const at = runs.putImage(mod, fs.readFileSync(file), 'games.zip');
    const inspected = runs.inspect(mod, at);
    assert.deepEqual(Buffer.from(inspected.stdout),
                     execFileSync(tool('d88info'), ['--json', '--', 'games.zip'], { cwd: images }));
    const { archive, disks } = inspected.doc;
    assert.deepEqual(archive.members.map((m) => m.name),
                     ['ゲーム/abcut.d88', 'ゲーム/oabcut.d88', 'ゲーム/はじめに.txt']);
    // Each disk cut as d88cut cuts it into its folder.
    const folders = nativeFolders(file);
    let cuts = 0;
    for (const disk of disks) {
      for (const r of disk.recognised) {
        const folder = `disk${String(disk.index).padStart(2, '0')}-${r.program}-${r.number}`;
        assert.deepEqual(filesOf(runs.cutDisk(mod, r.program, at, disk.index)), folders[folder],
                         folder);
        cuts += 1;
      }
    }
    assert.equal(cuts, Object.keys(folders).length);
    for (const program of ['abcut', 'oabcut']) {
      same(runs.cut(mod, program, at), native(program, [file]));
    }
  });

// Every file under `dir` of the native file system, by its path inside.
function nativeTree(dir, inside = '') {
  const files = {};
  for (const name of fs.readdirSync(path.join(dir, inside))) {
    const at = inside ? `${inside}/${name}` : name;
    if (fs.statSync(path.join(dir, at)).isDirectory()) Object.assign(files, nativeTree(dir, at));
    else files[at] = fs.readFileSync(path.join(dir, at));
  }
  return files;
}

// The same of the module's in-memory file system.
function moduleTree(dir, inside = '') {
  const files = {};
  for (const name of mod.FS.readdir(inside ? `${dir}/${inside}` : dir)) {
    if (name === '.' || name === '..') continue;
    const at = inside ? `${inside}/${name}` : name;
    if (mod.FS.isDir(mod.FS.stat(`${dir}/${at}`).mode)) Object.assign(files, moduleTree(dir, at));
    else files[at] = Buffer.from(mod.FS.readFile(`${dir}/${at}`));
  }
  return files;
}

// The files of each file system as `d88cut -o` writes them into its
// disk<NN>-files and part<N>-files folders, byte for byte and name for
// name, and the listing's paths as d88info lists them.
for (const [name, folders] of [['msdos-2hd.d88', { 'disk00-files': [0, false] }],
  ['hard-disk.hdi', { 'part0-files': [0, true], 'part1-files': [1, true] }]]) {
  test(`${name}: the files of its file systems as d88cut writes them`, () => {
    const file = path.join(images, name);
    const at = runs.putImage(mod, fs.readFileSync(file), name);
    const doc = runs.inspect(mod, at).doc;
    const out = fs.mkdtempSync(path.join(os.tmpdir(), 'd88cut-'));
    execFileSync(tool('d88cut'), ['-o', out, file]);
    assert.deepEqual(fs.readdirSync(out).sort(), Object.keys(folders).sort());
    for (const [folder, [index, partition]] of Object.entries(folders)) {
      const written = runs.writeFiles(mod, at, index, partition);
      assert.equal(written.status, 0, folder);
      assert.equal(Buffer.from(written.stderr).length, 0, folder);
      const want = nativeTree(path.join(out, folder));
      assert.deepEqual(moduleTree(written.folder), want, folder);
      const listed = partition ? doc.hardDisk.partitions.find((p) => p.index === index).filesystem
        : doc.disks[index].filesystem;
      const files = written.entries.filter((e) => !e.folder);
      assert.deepEqual(files.map((e) => e.path), listed.files.map((f) => f.path), folder);
      assert.deepEqual(files.map((e) => e.written).sort(), Object.keys(want).sort(), folder);
      runs.forgetFiles(mod, written.folder);
      assert.equal(mod.FS.analyzePath(written.folder).exists, false);
    }
    fs.rmSync(out, { recursive: true });
  });
}

test('a damaged file system warns as d88cut does; no file system gives none', () => {
  const bytes = fs.readFileSync(path.join(images, 'msdos-2hd.d88'));
  const file = path.join(os.tmpdir(), `d88cut-short-${process.pid}.d88`);
  // The image cut short in its third track: a folder and a file's clusters gone.
  fs.writeFileSync(file, bytes.subarray(0, 18000));
  const at = runs.putImage(mod, fs.readFileSync(file), 'short.d88');
  const written = runs.writeFiles(mod, at, 0, false);
  const out = fs.mkdtempSync(path.join(os.tmpdir(), 'd88cut-'));
  const done = spawnSync(tool('d88cut'), ['-o', out, file]);
  const warnings = (text) => text.split('\n').filter((l) => l.includes(': disk 0: ')).join('\n');
  assert.equal(written.status, 1);
  assert.notEqual(warnings(done.stderr.toString('utf-8')), '');
  assert.equal(warnings(Buffer.from(written.stderr).toString('utf-8')),
               warnings(done.stderr.toString('utf-8')).split(file).join(at));
  assert.deepEqual(moduleTree(written.folder), nativeTree(path.join(out, 'disk00-files')));
  fs.rmSync(out, { recursive: true });
  fs.rmSync(file);

  const none = [['vorxcut.d88', 'a disk without one', 0, false],
    ['vorxcut.d88', 'a partition of a floppy image', 0, true],
    ['vorxcut.d88', 'a negative index', -1, false],
    ['hard-disk.hdi', 'a disk of a hard disk', 0, false],
    ['hard-disk.hdi', 'a table slot no partition holds', 5, true]];
  for (const [name, what, index, partition] of none) {
    const where = runs.putImage(mod, fs.readFileSync(path.join(images, name)), name);
    const result = runs.writeFiles(mod, where, index, partition);
    assert.equal(result.status, -1, what);
    assert.deepEqual(result.entries, [], what);
  }
});

// A disk's map reads its tracks from the module as the console lists them,
// for a damaged D88 disk, flux dumps' (whose tracks say what decoding
// found, on the worn one sectors voted and repaired: the same decoding in
// WebAssembly) and an archive's disks; a disk the image lacks gives none.
test('the tracks of a disk\'s map are the console\'s, one disk asked for', () => {
  for (const name of ['damaged-sectors.d88', 'vorxcut-1.scp', 'worn-2hd.scp', 'abcut.d88',
                      'vorxcut.zip']) {
    const at = runs.putImage(mod, fs.readFileSync(path.join(images, name)), name);
    const json = JSON.parse(execFileSync(tool('d88info'), ['--json', '--sectors', '--', name],
                                         { cwd: images }));
    for (const disk of json.disks) {
      assert.deepEqual(runs.diskTracks(mod, at, disk.index), disk.tracks, `${name} disk ${disk.index}`);
    }
    if (name === 'vorxcut-1.scp') assert.ok(json.disks[0].tracks.every((t) => t.flux), name);
    assert.equal(runs.diskTracks(mod, at, json.disks.length), null, name);
  }
  const at = runs.putImage(mod, fs.readFileSync(path.join(images, 'damaged-sectors.d88')), 'd.d88');
  const tracks = runs.diskTracks(mod, at, 0);
  assert.deepEqual(tracks.map((t) => t.sectors.map((s) => s.status).filter((s) => s !== 0)),
                   [[], [0xB0, 0xA0], [0x10], []]);
  assert.deepEqual(tracks.map((t) => t.missing), [[], [], [20], []]);
});
