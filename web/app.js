// The page: opens an image, shows what d88info makes of its disks, and
// cuts a recognised disk with its program, listing the files to download.
// Every answer comes from the programs' own code (d88cut.js); this file
// only shows it.
import createD88cut from './d88cut.js';
import { zipSync } from './fflate.js';
import * as runs from './runs.js';

const KNOWN_MEDIA = new Set(['2D', '2DD', '2HD', '1D', '1DD']);
// The programs' own warning lines on standard error.
const WARNING_LINE = /^(short \.\.\. |failed \.\.\. |warning: )/;

const $ = (id) => document.getElementById(id);
const shiftJis = new TextDecoder('shift_jis');
const plain = new TextDecoder('utf-8');

// What the test and a curious user can read back: times in milliseconds,
// and the last inspection document as d88info printed it.
const timings = { ready: false, loadMs: null, inspectMs: null, cutMs: null, json: null };
window.d88cut = timings;

// What the programs know, from the module once it is loaded: the cutting
// programs and each one's disk kinds by number, and the largest file they
// read (a flux dump of several revolutions; a larger file is no floppy
// image, dump nor archive of them).
let programs = [];
const kindsOf = {};
let largestImage = 0;

const state = {
  mod: null,       // the module the image was last written into
  name: '',
  bytes: null,
  beside: [],      // {name, bytes}: files read with the image (a KryoFlux set's)
  path: '',
  doc: null,
  cuts: [],        // {index, program, kind, forced, status, message, warnings, files}
};

let modulePromise = null;
function getModule() {
  if (modulePromise === null) {
    modulePromise = createD88cut().catch((error) => {
      modulePromise = null;
      throw error;
    });
  }
  return modulePromise;
}

// After a failure inside the module its state is unknown: the next run
// starts a fresh one.
function dropModule() {
  modulePromise = null;
  state.mod = null;
}

function nextPaint() {
  return new Promise((resolve) => requestAnimationFrame(() => setTimeout(resolve, 0)));
}

function setStatus(text) {
  $('status').textContent = text;
}

function showProblem(text) {
  const box = $('problem');
  box.textContent = text;
  box.hidden = false;
}

function clearProblem() {
  $('problem').hidden = true;
  $('problem').textContent = '';
}

function element(tag, props = {}, children = []) {
  const node = document.createElement(tag);
  Object.assign(node, props);
  for (const child of children) node.append(child);
  return node;
}

function bytesText(n) {
  return `${n.toLocaleString('en-US')} byte${n === 1 ? '' : 's'}`;
}

function plural(n, noun) {
  return `${n} ${noun}${n === 1 ? '' : 's'}`;
}

function baseName(name) {
  const dot = name.lastIndexOf('.');
  return dot > 0 ? name.slice(0, dot) : name;
}

// The download of every file cut: named after the image as d88cut names
// its folder ("game.d88.gz" -> "game.zip"), never as the file opened.
function zipName() {
  const base = baseName(state.name.replace(/\.(gz|bz2|xz)$/i, ''));
  return `${base}.zip` === state.name ? `${base}-cut.zip` : `${base}.zip`;
}

// The image written into the current module (again after a fresh start).
async function moduleWithImage() {
  const mod = await getModule();
  if (state.mod !== mod) {
    state.path = runs.putImage(mod, state.bytes, state.name, state.beside);
    state.mod = mod;
  }
  return mod;
}

// The download address of a cut file, made once and let go with its cut.
function urlOf(file) {
  if (!file.url) {
    file.url = URL.createObjectURL(new Blob([file.bytes], { type: 'application/octet-stream' }));
  }
  return file.url;
}

function forgetCut(entry) {
  for (const file of entry.files) if (file.url) URL.revokeObjectURL(file.url);
}

function resetImage() {
  state.cuts.forEach(forgetCut);
  // No module holds the next image yet.
  Object.assign(state,
                { mod: null, name: '', bytes: null, beside: [], path: '', doc: null, cuts: [] });
  $('image').hidden = true;
  $('results').hidden = true;
  $('cuts').replaceChildren();
  $('disks').tBodies[0].replaceChildren();
  $('image-warnings').replaceChildren();
  $('image-members').replaceChildren();
}

// A disk the programs could read: its header was read, its media byte is
// one of the floppy kinds, and it has sectors.
function looksSound(disk) {
  return !disk.error && KNOWN_MEDIA.has(disk.media) && disk.sectorCount > 0;
}

// The files given together that are read as one: the stream files of the
// first KryoFlux set among them (a stream file per track, named as the
// programs read them), first by name (its siblings are read beside it, as
// from its folder); else the first file alone.
function filesToOpen(mod, given) {
  const streams = given.map((file) => ({ file, prefix: runs.streamFilePrefix(mod, file.name) }))
    .filter((s) => s.prefix !== null)
    .sort((a, b) => (a.file.name < b.file.name ? -1 : a.file.name > b.file.name ? 1 : 0));
  if (streams.length === 0) return [given[0]];
  return streams.filter((s) => s.prefix === streams[0].prefix).map((s) => s.file);
}

async function openFiles(given) {
  clearProblem();
  resetImage();
  const [file, ...beside] = filesToOpen(await getModule(), [...given]);
  const size = [file, ...beside].reduce((total, f) => total + f.size, 0);
  if (size > largestImage) {
    showProblem(`${file.name} is ${bytesText(size)} long: far larger than any ` +
                'floppy-disk image or archive of them, so it is not opened.');
    setStatus('');
    return;
  }
  setStatus(`Reading ${file.name}…`);
  await nextPaint();
  state.name = file.name;
  state.bytes = new Uint8Array(await file.arrayBuffer());
  for (const f of beside) {
    state.beside.push({ name: f.name, bytes: new Uint8Array(await f.arrayBuffer()) });
  }
  const mod = await moduleWithImage();
  const started = performance.now();
  const result = runs.inspect(mod, state.path);
  timings.inspectMs = performance.now() - started;
  timings.json = plain.decode(result.stdout);
  if (result.doc === null) {
    const said = plain.decode(result.stderr).trim();
    showProblem(`${file.name} cannot be read as a disk image.` + (said ? ` (${said})` : ''));
    setStatus('');
    return;
  }
  state.doc = result.doc;
  showImage(result.doc);
}

function showImage(doc) {
  const disks = doc.disks || [];
  const sound = disks.filter(looksSound);
  if (disks.length === 0 || sound.length === 0) {
    showProblem(disks.length === 0
      ? `No disk found in ${state.name}: it is not a floppy-disk image the programs can read ` +
        '(too short for even one disk header).'
      : `${state.name} does not look like a floppy-disk image: ` +
        (disks.length === 1 ? 'what would be its disk has no'
          : `none of what would be its ${disks.length} disks has a`) +
        ' readable header with sectors. It may be another kind of file, or badly damaged.');
    setStatus('');
    return;
  }
  $('image-name').textContent = state.name;
  const container = doc.container || {};
  const geometry = container.geometry;
  const archive = doc.archive || null;
  const flux = container.flux;
  $('image-facts').textContent = (archive
    ? `${archive.format} archive of ${plural(archive.members.length, 'member')}: `
    : flux ? `${container.format} flux dump of ${plural(flux.revolutions, 'revolution')}, `
      : `${container.format || 'D88'} image, `) +
    `${plural(disks.length, 'disk')}, ${bytesText(state.bytes.length)}` +
    (geometry ? `; ${geometry.cylinders} cylinders, ${geometry.heads} heads, ` +
                `${geometry.sectors} sectors of ${geometry.sectorSize} bytes` : '');
  $('image-members').replaceChildren(...(archive ? archive.members.map(memberItem) : []));
  $('image-members').hidden = !archive;
  $('member-head').hidden = !archive;
  const warnings = [...(doc.warnings || []), ...extentWarnings(disks, container.format)];
  for (const disk of disks) {
    if (disk.error) warnings.push(`Disk ${disk.index}: ${disk.error}.`);
    else if (!looksSound(disk)) {
      warnings.push(`Disk ${disk.index} looks damaged: media ${disk.media}, ` +
                    `${plural(disk.sectorCount, 'sector')}.`);
    }
  }
  $('image-warnings').replaceChildren(...warnings.map((w) => element('li', { textContent: w })));

  const body = $('disks').tBodies[0];
  body.replaceChildren(...disks.map((disk) => diskRow(disk, archive !== null)));
  const recognised = disks.filter((d) => (d.recognised || []).length > 0);
  $('cut-all').hidden = recognised.length < 2;
  $('image').hidden = false;
  setStatus(recognised.length === 0
    ? `None of the programs recognises a disk of ${state.name}.`
    : `${plural(recognised.length, 'disk')} of ${disks.length} recognised. ` +
      'Cut one to get its files.');
}

// A D88 file whose disks do not end where the file ends: the last disk
// cut short, or bytes after it that no disk holds.
function extentWarnings(disks, format) {
  if (format && format !== 'D88') return [];  // offsets are the conversion's
  const last = disks[disks.length - 1];
  if (last.error || typeof last.size !== 'number') return [];
  const total = state.bytes.length;
  const end = last.offset + last.size;
  if (end > total) {
    return [`Disk ${last.index} is cut short: its header says ${bytesText(last.size)}, ` +
            `the file holds ${bytesText(total - last.offset)} of it.`];
  }
  if (end < total) {
    return [`${bytesText(total - end)} after the last disk belong to no disk ` +
            '(a disk cut short in its header, or something else appended).'];
  }
  return [];
}

// d88info writes the name's bytes outside printable ASCII as \xNN; those
// are mostly Shift-JIS text, shown here as the text they spell.
function diskNameText(name) {
  if (!name.includes('\\x')) return name;
  const bytes = [];
  for (let i = 0; i < name.length; i += 1) {
    const m = /^\\x([0-9A-Fa-f]{2})/.exec(name.slice(i, i + 4));
    if (m) {
      bytes.push(parseInt(m[1], 16));
      i += 3;
    } else {
      bytes.push(name.charCodeAt(i) & 0xff);
    }
  }
  return shiftJis.decode(new Uint8Array(bytes));
}

function cell(label, content, className = '') {
  const td = element('td', { className });
  td.dataset.label = label;
  td.append(content);
  return td;
}

// d88info gives a member's name as text with a quote, a backslash, control
// characters and bytes that are no text as \xNN (a backslash is always
// escaped, so each one starts such an escape); the quote and the backslash
// are shown as themselves.
function memberText(name) {
  return name.replace(/\\x(22|5C)/g, (_, hex) => String.fromCharCode(parseInt(hex, 16)));
}

// A member of an archive: its name and what it gave, or why it gave no disk.
function memberItem(member) {
  const what = member.skipped === null
    ? ` (${member.container}, ${plural(member.disks, 'disk')})`
    : ` (skipped: ${member.skipped})`;
  return element('li', { className: member.skipped === null ? '' : 'skipped' }, [
    element('span', { className: 'member-name', textContent: memberText(member.name) }), what]);
}

function diskRow(disk, inArchive) {
  const tr = element('tr');
  tr.dataset.index = disk.index;
  tr.append(cell('Disk', String(disk.index), 'num'));
  if (inArchive) tr.append(cell('Member', memberText(disk.member || ''), 'member'));
  if (disk.error) {
    const td = cell('Problem', disk.error);
    td.colSpan = 4;
    tr.append(td);
    return tr;
  }
  tr.append(cell('Media', disk.media));
  const name = cell('Name', disk.name === '' ? '(no name)' : diskNameText(disk.name));
  name.title = disk.name;
  tr.append(name);
  tr.append(cell('Tracks / sectors', `${disk.trackCount} / ${disk.sectorCount}`, 'num'));
  const kinds = element('div');
  const recognised = disk.recognised || [];
  if (recognised.length === 0) {
    kinds.append(element('span', { className: 'none', textContent: 'none' }));
  }
  for (const r of recognised) {
    const button = element('button', {
      type: 'button',
      textContent: `Cut with ${r.program}`,
      className: 'cut-button',
    });
    button.dataset.program = r.program;
    button.setAttribute('aria-label', `Cut disk ${disk.index} with ${r.program} (${r.kind})`);
    button.addEventListener('click', () => guarded(() => cutDisk(disk.index, r)));
    kinds.append(element('div', { className: 'kind' }, [
      element('span', { textContent: `${r.program} ${r.number}: ${r.kind}` }), button]));
  }
  kinds.append(forceControl(disk));
  tr.append(cell('Recognised as', kinds));
  return tr;
}

// The console programs' DISK argument: any kind forced onto the disk,
// whatever it holds (for a disk whose signature bytes are damaged).
function forceControl(disk) {
  const select = element('select', { className: 'force-kind' });
  select.setAttribute('aria-label', `Kind to take disk ${disk.index} for`);
  for (const program of programs) {
    const group = element('optgroup', { label: program });
    for (const { number, kind } of kindsOf[program] || []) {
      group.append(element('option', { value: `${program} ${number}`,
                                       textContent: `${program} ${number}: ${kind}` }));
    }
    select.append(group);
  }
  const button = element('button', { type: 'button', className: 'quiet force-button',
                                     textContent: 'Cut as this kind' });
  button.addEventListener('click', () => guarded(() => {
    const [program, number] = select.value.split(' ');
    const { kind } = kindsOf[program].find((k) => String(k.number) === number);
    return cutDisk(disk.index, { program, number: Number(number), kind }, false, true);
  }));
  return element('details', { className: 'force' }, [
    element('summary', { textContent: 'Cut as a kind you choose…' }),
    element('div', { className: 'kind' }, [select, button])]);
}


// Cuts disk `index` as `recognition.program` would on that disk alone, as
// d88cut does (forced: with the kind's number after the image).  Quiet:
// part of a longer run, which shows the files when it ends.
async function cutDisk(index, recognition, quiet = false, forced = false) {
  clearProblem();
  const started = performance.now();
  const mod = await moduleWithImage();
  const result = runs.cutDisk(mod, recognition.program, state.path, index,
                              forced ? recognition.number : 0);
  if (result.status < 0) {
    showProblem(`Disk ${index} could not be taken out of ${state.name}.`);
    return null;
  }
  const lines = shiftJis.decode(result.stderr).split('\n').filter((l) => l !== '');
  const entry = {
    index,
    program: recognition.program,
    kind: recognition.kind,
    forced,
    status: result.status,
    message: lines.filter((l) => !WARNING_LINE.test(l)),
    warnings: lines.filter((l) => WARNING_LINE.test(l)),
    files: result.files,
  };
  const at = state.cuts.findIndex((c) => c.index === index && c.program === entry.program);
  if (at >= 0) {
    forgetCut(state.cuts[at]);
    state.cuts[at] = entry;
  } else {
    state.cuts.push(entry);
  }
  state.cuts.sort((a, b) => a.index - b.index || (a.program < b.program ? -1 : 1));
  if (!quiet) showCuts();
  timings.cutMs = performance.now() - started;
  if (!quiet) {
    setStatus(`Disk ${index} cut with ${entry.program} in ${timings.cutMs.toFixed(0)} ms: ` +
              `${plural(entry.files.length, 'file')}.`);
    const section = document.querySelector(`[data-cut="${index}-${entry.program}"] h3`);
    if (section) section.focus();
  }
  return entry;
}

async function cutAll() {
  let files = 0;
  let count = 0;
  for (const disk of state.doc.disks) {
    for (const r of disk.recognised || []) {
      const entry = await cutDisk(disk.index, r, true);
      if (entry) {
        files += entry.files.length;
        count += 1;
      }
    }
  }
  showCuts();
  setStatus(`${plural(count, 'disk')} cut: ${plural(files, 'file')}.`);
}

function showCuts() {
  $('cuts').replaceChildren(...state.cuts.map(cutSection));
  const total = state.cuts.reduce((n, c) => n + c.files.length, 0);
  $('zip').disabled = total === 0;
  $('zip').textContent = `Download all (.zip, ${plural(total, 'file')})`;
  $('results').hidden = state.cuts.length === 0;
}

function cutSection(entry) {
  const section = element('section', { className: 'cut' });
  section.dataset.cut = `${entry.index}-${entry.program}`;
  section.append(element('h3', {
    tabIndex: -1,
    textContent: `Disk ${entry.index}: ${entry.kind} (${entry.program}` +
                 `${entry.forced ? ', taken for this kind as you chose' : ''})`,
  }));
  for (const line of entry.message) {
    section.append(element('p', { className: 'message', lang: 'ja', textContent: line }));
  }
  for (const line of entry.warnings) {
    section.append(element('p', { className: 'warning', textContent: line }));
  }
  if (entry.status !== 0) {
    section.append(element('p', {
      className: 'warning',
      textContent: `${entry.program} ended with status ${entry.status}: ` +
                   'not every file was written.',
    }));
  }
  if (entry.files.length === 0) {
    section.append(element('p', {
      className: 'hint',
      textContent: 'No file was written: this kind has none, or the disk lacks its sectors.',
    }));
    return section;
  }
  const list = element('ul', { className: 'files' });
  for (const file of entry.files) {
    const link = element('a', { href: urlOf(file), download: file.name, textContent: file.name });
    list.append(element('li', {}, [link, ' ',
      element('span', { className: 'size', textContent: `(${bytesText(file.bytes.length)})` })]));
  }
  section.append(list);
  return section;
}

// Every file cut so far: side by side when no two share a name, else each
// disk's files in a folder of their own, so none replaces another.
function zipEntries() {
  const names = state.cuts.flatMap((c) => c.files.map((f) => f.name));
  const flat = new Set(names).size === names.length;
  const entries = {};
  for (const c of state.cuts) {
    const folder = flat ? '' : `disk${c.index}-${c.program}/`;
    for (const f of c.files) entries[folder + f.name] = f.bytes;
  }
  return entries;
}

function downloadZip() {
  const zip = zipSync(zipEntries(), { level: 6 });
  const url = URL.createObjectURL(new Blob([zip], { type: 'application/zip' }));
  const link = element('a', { href: url, download: zipName() });
  document.body.append(link);
  link.click();
  link.remove();
  setTimeout(() => URL.revokeObjectURL(url), 60000);
}

// Runs an action of the user's; whatever goes wrong is said on the page.
async function guarded(action) {
  try {
    await action();
  } catch (error) {
    dropModule();
    showProblem(`Something went wrong: ${error && error.message ? error.message : error}. ` +
                'Try the image again, or reload the page.');
    setStatus('');
  }
}

function setUpDropZone() {
  const zone = $('drop');
  const input = $('file');
  input.addEventListener('change', () => {
    if (input.files.length > 0) guarded(() => openFiles(input.files));
  });
  // A file dropped anywhere on the page is taken, never opened by the browser.
  document.addEventListener('dragover', (event) => {
    event.preventDefault();
    zone.classList.add('over');
  });
  document.addEventListener('dragleave', (event) => {
    if (event.relatedTarget === null) zone.classList.remove('over');
  });
  document.addEventListener('drop', (event) => {
    event.preventDefault();
    zone.classList.remove('over');
    const files = event.dataTransfer && event.dataTransfer.files;
    if (files && files.length > 0) guarded(() => openFiles(files));
  });
}

async function start() {
  window.addEventListener('error', (event) => {
    showProblem(`Something went wrong: ${event.message}`);
  });
  window.addEventListener('unhandledrejection', (event) => {
    showProblem(`Something went wrong: ${event.reason}`);
  });
  setUpDropZone();
  $('cut-all').addEventListener('click', () => guarded(cutAll));
  $('zip').addEventListener('click', () => guarded(downloadZip));
  $('file').disabled = true;
  try {
    const mod = await getModule();
    const version = runs.run(mod, 'd88info', ['--version']);
    $('version').textContent = plain.decode(version.stdout).trim().replace(/^d88info /, 'version ');
    const facts = runs.facts(mod);
    if (facts === null) throw new Error('the module names no programs');
    programs = facts.programs.map((p) => p.program);
    for (const p of facts.programs) kindsOf[p.program] = p.kinds;
    largestImage = facts.largestImage;
  } catch (error) {
    showProblem('The programs could not be loaded' +
                (error && error.message ? ` (${error.message})` : '') +
                '. Straight from the disk, open d88cut.html, the page in one file; this ' +
                'folder\'s index.html needs a web server (python3 -m http.server in its folder).');
    setStatus('');
    return;
  }
  $('file').disabled = false;
  timings.loadMs = performance.now();
  timings.ready = true;
  setStatus('Ready. Open an image.');
}

start();
