// The programs' runs as the page (and the entry points' test) make them:
// each writes its input into the module's in-memory file system, runs the
// program's own code with the command line a console user would type, and
// reads back what the run printed and the files it wrote.

const IMAGE_DIR = '/img';
const DISK_PATH = '/disk/one.d88';
const OUT_PATH = '/io/stdout';
const ERR_PATH = '/io/stderr';

let runSerial = 0;

function ensureDir(FS, path) {
  if (!FS.analyzePath(path).exists) FS.mkdir(path);
}

// Removes every plain file in `dir`, and `dir` itself when asked.
function clearDir(FS, dir, removeDir) {
  if (!FS.analyzePath(dir).exists) return;
  for (const name of FS.readdir(dir)) {
    if (name !== '.' && name !== '..') FS.unlink(`${dir}/${name}`);
  }
  if (removeDir) FS.rmdir(dir);
}

// A file name as the in-memory file system can hold it: one path part.
export function safeName(name) {
  const part = String(name || '').replace(/[/\\\0]/g, '_');
  return part === '' || part === '.' || part === '..' ? 'image' : part;
}

function withStrings(mod, strings, use) {
  const pointers = strings.map((text) => {
    const size = mod.lengthBytesUTF8(text) + 1;
    const pointer = mod._malloc(size);
    mod.stringToUTF8(text, pointer, size);
    return pointer;
  });
  try {
    return use(pointers);
  } finally {
    pointers.forEach((pointer) => mod._free(pointer));
  }
}

// Makes a run with `call`, which is given the two output files' paths and
// returns the exit status; returns {status, stdout, stderr} (the two
// outputs as bytes).  The files are removed first, so that a run that
// could not be made shows nothing of an earlier one.
function withOutputs(mod, call) {
  const { FS } = mod;
  ensureDir(FS, '/io');
  for (const path of [OUT_PATH, ERR_PATH]) {
    if (FS.analyzePath(path).exists) FS.unlink(path);
  }
  const status = call(OUT_PATH, ERR_PATH);
  const read = (path) => (FS.analyzePath(path).exists ? FS.readFile(path) : new Uint8Array(0));
  return { status, stdout: read(OUT_PATH), stderr: read(ERR_PATH) };
}

// Runs `program` with `args`; returns {status, stdout, stderr}.  A status
// of -1 means the run could not be made.
export function run(mod, program, args) {
  const argv = [program, ...args];
  return withOutputs(mod, (outPath, errPath) =>
    withStrings(mod, [program, outPath, errPath, ...argv], (p) => {
      const table = mod._malloc(4 * argv.length);
      try {
        argv.forEach((_, i) => mod.setValue(table + 4 * i, p[3 + i], 'i32'));
        return mod._web_run(p[0], argv.length, table, p[1], p[2]);
      } finally {
        mod._free(table);
      }
    }));
}

// What the programs know that the page shows without a run: each cutting
// program's kinds by DISK number ({program, kinds: [{number, kind,
// message}]}, in catalogue order), and the largest files they read
// (largestImage, largestContainer, archiveTotal, in bytes).  Null when the
// module cannot say.
export function facts(mod) {
  const { FS } = mod;
  ensureDir(FS, '/io');
  const path = '/io/facts.json';
  const status = withStrings(mod, [path], (p) => mod._web_facts(p[0]));
  if (status !== 0) return null;
  const text = new TextDecoder('utf-8').decode(FS.readFile(path));
  FS.unlink(path);
  return JSON.parse(text);
}

// The prefix that names the KryoFlux set of the stream file `name`
// (<prefix>NN.S.raw), as the programs read sets; null for any other name.
export function streamFilePrefix(mod, name) {
  const tail = withStrings(mod, [name], (p) => mod._web_stream_file(p[0]));
  return tail < 0 ? null : name.slice(0, name.length - tail);
}

// Keeps `bytes` as the image `name` for the runs that follow (replacing
// the one before) and returns its path.  `beside` ({name, bytes} each) are
// files read with it, as the other stream files of a KryoFlux set.
export function putImage(mod, bytes, name, beside = []) {
  const { FS } = mod;
  ensureDir(FS, IMAGE_DIR);
  clearDir(FS, IMAGE_DIR, false);
  for (const file of beside) FS.writeFile(`${IMAGE_DIR}/${safeName(file.name)}`, file.bytes);
  const path = `${IMAGE_DIR}/${safeName(name)}`;
  FS.writeFile(path, bytes);
  return path;
}

// `d88info --json` (and `options`) on the image at `path`, run beside it
// so that the document names the image as the user's file is named.
// Returns the run and its document (null when the run failed or printed no
// JSON).
export function inspect(mod, path, options = []) {
  const { FS } = mod;
  const slash = path.lastIndexOf('/');
  FS.chdir(path.slice(0, slash) || '/');
  let result;
  try {
    result = run(mod, 'd88info', ['--json', ...options, '--', path.slice(slash + 1)]);
  } finally {
    FS.chdir('/');
  }
  let doc = null;
  if (result.status === 0) {
    try {
      doc = JSON.parse(new TextDecoder('utf-8').decode(result.stdout));
    } catch (e) {
      doc = null;
    }
  }
  return { ...result, doc };
}

// The tracks of disk `index` with their sectors as d88info lists them (and
// for a flux dump what decoding found), or null.  Asked for one disk at a
// time, when its map is opened: a large image's sectors are many.
export function diskTracks(mod, path, index) {
  const { doc } = inspect(mod, path, ['--sectors', '--disk', String(index)]);
  const disk = doc && (doc.disks || []).find((d) => d.index === index);
  return disk && Array.isArray(disk.tracks) ? disk.tracks : null;
}

// Writes disk `index` of the image at `path` as the image of that disk
// alone that cutDisk cuts (from the container's conversion where the image
// is no D88 file) and returns its path, or null.
export function diskImage(mod, path, index) {
  ensureDir(mod.FS, '/disk');
  const written = withStrings(mod, [path, DISK_PATH], (p) => mod._web_disk(p[0], index, p[1]));
  return written >= 0 ? DISK_PATH : null;
}

// Runs `start(folder)` for a run that writes its files into a fresh empty
// folder, and returns what it returned with the files it wrote there, in
// the order its "cutting ... NAME" lines name them, as {name, bytes}.
function inFreshFolder(mod, start) {
  const { FS } = mod;
  runSerial += 1;
  const folder = `/run${runSerial}`;
  FS.mkdir(folder);
  const result = start(folder);
  const order = new Map();
  const text = new TextDecoder('latin1').decode(result.stdout);
  for (const line of text.split('\n')) {
    const m = /^cutting \.\.\. (.*)$/.exec(line);
    if (m && !order.has(m[1])) order.set(m[1], order.size);
  }
  const rank = (name) => (order.has(name) ? order.get(name) : order.size);
  const names = FS.readdir(folder).filter((n) => n !== '.' && n !== '..');
  names.sort((a, b) => rank(a) - rank(b) || (a < b ? -1 : a > b ? 1 : 0));
  const files = names.map((name) => ({ name, bytes: FS.readFile(`${folder}/${name}`) }));
  clearDir(FS, folder, true);
  return { ...result, files };
}

// Runs cutting program `program` on the image at `path` (with a disk
// number when `diskNo` is given) in a fresh empty folder, as the console
// program runs in the current folder.  Returns the run and its files.
export function cut(mod, program, path, diskNo) {
  const { FS } = mod;
  return inFreshFolder(mod, (folder) => {
    FS.chdir(folder);
    try {
      // Shift-JIS, as the console program writes into a file or a pipe.
      const args = ['--encoding=sjis', '--', path];
      return run(mod, program, diskNo ? [...args, String(diskNo)] : args);
    } finally {
      FS.chdir('/');
    }
  });
}

// Cuts disk `index` of the image at `path` with cutting program `program`
// as d88cut does: what the program prints and writes when run on an image
// of that disk alone (with a disk number when `diskNo` is given).  Returns
// the run and its files, as cut does; a status of -1 means the disk could
// not be taken out of the image.
export function cutDisk(mod, program, path, index, diskNo) {
  return inFreshFolder(mod, (folder) => withOutputs(mod, (outPath, errPath) =>
    withStrings(mod, [path, program, folder, outPath, errPath], (p) =>
      mod._web_cut(p[0], index, p[1], diskNo || 0, p[2], p[3], p[4]))));
}

// Removes `dir` and everything in it.
function removeTree(FS, dir) {
  if (!FS.analyzePath(dir).exists) return;
  for (const name of FS.readdir(dir)) {
    if (name === '.' || name === '..') continue;
    const inside = `${dir}/${name}`;
    if (FS.isDir(FS.stat(inside).mode)) removeTree(FS, inside);
    else FS.unlink(inside);
  }
  FS.rmdir(dir);
}

// Writes the files of the file system on disk `index` of the image at
// `path` (with `partition`, of the hard-disk partition in table slot
// `index`) into a fresh folder, as d88cut writes them into its
// disk<NN>-files or part<N>-files folder.  Returns {status, stderr,
// folder, entries}: each entry of the listing in d88info's order as
// {path, folder, written}, `written` its path inside `folder` (null when it
// was not written).  A status of -1 means there is no such file system.
export function writeFiles(mod, path, index, partition) {
  runSerial += 1;
  const folder = `/files${runSerial}`;
  const result = withOutputs(mod, (outPath, errPath) =>
    withStrings(mod, [path, folder, outPath, errPath], (p) =>
      mod._web_files(p[0], index, partition ? 1 : 0, p[1], p[2], p[3])));
  let entries = [];
  if (result.status >= 0) {
    entries = JSON.parse(new TextDecoder('utf-8').decode(result.stdout)).entries;
  }
  return { status: result.status, stderr: result.stderr, folder, entries };
}

// The bytes of a file writeFiles wrote, by its `written` path.
export function readWritten(mod, folder, written) {
  return mod.FS.readFile(`${folder}/${written}`);
}

// Lets go of a folder writeFiles wrote.
export function forgetFiles(mod, folder) {
  removeTree(mod.FS, folder);
}
