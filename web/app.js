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

// Every text of the page itself, English and Japanese, one row a text (a
// function for a text with values in it).  The programs' own lines (their
// recognition messages, warnings and errors) are shown as they print them.
const number = (n, lang) => n.toLocaleString(lang === 'ja' ? 'ja-JP' : 'en-US');
const pluralS = (n) => (n === 1 ? '' : 's');
const TEXTS = {
  pageTitle: ['d88cut in the browser', 'ブラウザーで動く d88cut'],
  intro: ['Cuts the sound driver and music files of the disks that vorxcut, abcut and oabcut ' +
          'know out of a floppy-disk image, and shows and saves the files of MS-DOS and ' +
          'N88-BASIC disks and hard-disk partitions, with the programs\' own code. The image ' +
          'never leaves this computer: everything runs in this page.',
  'vorxcut・abcut・oabcut が知っているディスクのサウンドドライバーと曲のファイルを' +
          'フロッピーディスクのイメージから切り出し、MS-DOS や N88-BASIC のディスク、' +
          'ハードディスクの区画にあるファイルを一覧して保存します。どれもプログラム自身の' +
          'コードで動きます。イメージはこのコンピューターから出ていきません。すべてこの' +
          'ページの中で動きます。'],
  language: ['Language', '言語'],
  dropTitle: ['Open an image', 'イメージを開く'],
  dropText: ['Drop a disk image file here, or choose one:',
             'ディスクイメージのファイルをここにドロップするか、選んでください:'],
  dropHint: ['D88, NFD, FDD, DIP, FDI, DCP/DCU, or a plain dump of the sectors; a flux dump ' +
             'of an original disk (SCP, HFE, MFI, or a KryoFlux set\'s stream files, chosen ' +
             'together or zipped); a hard-disk image (HDI, NHD, THD, Virtual98); also inside a ' +
             'zip, 7z, LZH, RAR or tar archive, or a gzip, bzip2 or xz file.',
  'D88、NFD、FDD、DIP、FDI、DCP/DCU、セクターをそのまま並べたダンプ。元のディスクの' +
             'フラックスダンプ(SCP、HFE、MFI、KryoFlux のストリームファイル一式。まとめて' +
             '選ぶか zip にして)。ハードディスクのイメージ(HDI、NHD、THD、Virtual98)。' +
             'zip、7z、LZH、RAR、tar の書庫の中や、gzip、bzip2、xz のファイルでも構いません。'],
  loading: ['Loading the programs…', 'プログラムを読み込んでいます…'],
  ready: ['Ready. Open an image.', '準備ができました。イメージを開いてください。'],
  disksIn: ['Disks in ', 'ディスクの一覧: '],
  partitionsIn: ['Partitions in ', '区画の一覧: '],
  membersLabel: ['Members of the archive', '書庫の中身'],
  headDisk: ['Disk', 'ディスク'],
  headMember: ['Member', '書庫内のファイル'],
  headMedia: ['Media', 'メディア'],
  headName: ['Name', '名前'],
  headTracks: ['Tracks / sectors', 'トラック / セクター'],
  headRecognised: ['Recognised as', '判定'],
  headProblem: ['Problem', '問題'],
  cutAll: ['Cut every recognised disk', '判定できたディスクをすべて切り出す'],
  resultsTitle: ['Files cut', '切り出したファイル'],
  filesTitle: ['Files on the disks', 'ディスクの中のファイル'],
  footer: ['Runs offline once loaded. Nothing is uploaded or installed.',
           '一度読み込めばオフラインで動きます。何もアップロードもインストールもしません。'],
  bytes: [(n) => `${number(n, 'en')} byte${pluralS(n)}`, (n) => `${number(n, 'ja')} バイト`],
  disks: [(n) => `${n} disk${pluralS(n)}`, (n) => `${n} 枚のディスク`],
  filesCount: [(n) => `${n} file${pluralS(n)}`, (n) => `${n} 個のファイル`],
  members: [(n) => `${n} member${pluralS(n)}`, (n) => `${n} 個のファイル`],
  revolutions: [(n) => `${n} revolution${pluralS(n)}`, (n) => `${n} 回転`],
  sectors: [(n) => `${n} sector${pluralS(n)}`, (n) => `${n} セクター`],
  partitions: [(n) => `${n} partition${pluralS(n)}`, (n) => `${n} 個の区画`],
  version: [(v) => `version ${v}`, (v) => `バージョン ${v}`],
  tooLarge: [(name, size) => `${name} is ${size} long: far larger than any floppy-disk image ` +
             'or archive of them, so it is not opened.',
  (name, size) => `${name} は ${size} あり、どのフロッピーディスクのイメージやその書庫より` +
             'はるかに大きいため、開きません。'],
  reading: [(name) => `Reading ${name}…`, (name) => `${name} を読んでいます…`],
  notAnImage: [(name, said) => `${name} cannot be read as a disk image.${said ? ` (${said})` : ''}`,
    (name, said) => `${name} はディスクイメージとして読めません。${said ? `(${said})` : ''}`],
  noDisk: [(name) => `No disk found in ${name}: it is not a floppy-disk image the programs can ` +
           'read (too short for even one disk header).',
  (name) => `${name} にディスクが見つかりません。プログラムが読めるフロッピーディスクの` +
           'イメージではありません(ディスクのヘッダー一つ分にも足りません)。'],
  notFloppy: [(name, n) => `${name} does not look like a floppy-disk image: ` +
              (n === 1 ? 'what would be its disk has no'
                : `none of what would be its ${n} disks has a`) +
              ' readable header with sectors. It may be another kind of file, or badly damaged.',
  (name, n) => `${name} はフロッピーディスクのイメージに見えません。` +
              (n === 1 ? 'ディスクにあたる部分に' : `${n} 枚のディスクにあたる部分のどれにも`) +
              'セクターのある読めるヘッダーがありません。別の種類のファイルか、ひどく' +
              '壊れているのかもしれません。'],
  archiveFacts: [(format, members) => `${format} archive of ${members}: `,
    (format, members) => `${format} 書庫(${members}): `],
  fluxFacts: [(format, revolutions) => `${format} flux dump of ${revolutions}, `,
    (format, revolutions) => `${format} フラックスダンプ(${revolutions})、`],
  imageFacts: [(format) => `${format} image, `, (format) => `${format} イメージ、`],
  geometry: [(g) => `; ${g.cylinders} cylinder${pluralS(g.cylinders)}, ` +
             `${g.heads} head${pluralS(g.heads)}, ` +
             `${g.sectors} sector${pluralS(g.sectors)} of ${g.sectorSize} bytes`,
  (g) => `。${g.cylinders} シリンダー、${g.heads} ヘッド、${g.sectorSize} バイトの` +
             `セクター ${g.sectors} 個`],
  listSeparator: [', ', '、'],
  hardDiskFacts: [(format, partitions, sectorSize, size) => `${format} hard-disk image: ` +
                  `${partitions}, ${sectorSize}-byte sectors, ${size}`,
  (format, partitions, sectorSize, size) => `${format} ハードディスクイメージ: ${partitions}、` +
                  `${sectorSize} バイトのセクター、${size}`],
  diskError: [(index, error) => `Disk ${index}: ${error}.`, (index, error) => `ディスク ${index}: ${error}`],
  diskDamaged: [(index, media, sectors) => `Disk ${index} looks damaged: media ${media}, ${sectors}.`,
    (index, media, sectors) => `ディスク ${index} は壊れているようです(メディア ${media}、${sectors})。`],
  cutShort: [(index, said, holds) => `Disk ${index} is cut short: its header says ${said}, ` +
             `the file holds ${holds} of it.`,
  (index, said, holds) => `ディスク ${index} は途中で切れています。ヘッダーでは ${said} ですが、` +
             `ファイルにはそのうち ${holds} しかありません。`],
  trailing: [(size) => `${size} after the last disk belong to no disk (a disk cut short in ` +
             'its header, or something else appended).',
  (size) => `最後のディスクの後ろの ${size} はどのディスクにも属しません(ヘッダーで短く` +
             'されたディスクか、別の何かが付け足されています)。'],
  noneRecognised: [(name) => `None of the programs recognises a disk of ${name}.`,
    (name) => `${name} のディスクはどのプログラムにも判定できませんでした。`],
  recognised: [(count, total, files) => `${count} disk${pluralS(count)} of ${total} recognised. Cut ` +
                'one to get its files.' +
                (files ? ` ${files} disk${pluralS(files)} with files to browse below.` : ''),
  (count, total, files) => `${total} 枚のうち ${count} 枚を判定しました。切り出すとファイルが` +
                '得られます。' + (files ? `${files} 枚にファイルがあり、下で見られます。` : '')],
  filesOnly: [(files) => `No disk is recognised by the cutting programs; ${files} ` +
               `disk${pluralS(files)} with files to browse below.`,
  (files) => `切り出すプログラムが判定できたディスクはありません。${files} 枚にファイルがあり、` +
               '下で見られます。'],
  partitionsFound: [(count, files) => `${count} partition${pluralS(count)}, ${files} with files to ` +
                     'browse below.',
  (count, files) => `${count} 個の区画のうち ${files} 個にファイルがあり、下で見られます。`],
  noName: ['(no name)', '(名前なし)'],
  none: ['none', 'なし'],
  skipped: [(why) => `skipped: ${why}`, (why) => `読み飛ばし: ${why}`],
  cutWith: [(program) => `Cut with ${program}`, (program) => `${program} で切り出す`],
  cutWithLabel: [(index, program, kind) => `Cut disk ${index} with ${program} (${kind})`,
    (index, program, kind) => `ディスク ${index} を ${program} で切り出す(${kind})`],
  forceLabel: [(index) => `Kind to take disk ${index} for`,
    (index) => `ディスク ${index} をどの種類として扱うか`],
  forceButton: ['Cut as this kind', 'この種類として切り出す'],
  forceSummary: ['Cut as a kind you choose…', '種類を選んで切り出す…'],
  notTaken: [(index, name) => `Disk ${index} could not be taken out of ${name}.`,
    (index, name) => `${name} からディスク ${index} を取り出せませんでした。`],
  cutDone: [(index, program, ms, files) => `Disk ${index} cut with ${program} in ${ms} ms: ` +
             `${files} file${pluralS(files)}.`,
  (index, program, ms, files) => `ディスク ${index} を ${program} で ${ms} ミリ秒で切り出しました: ` +
             `${files} 個のファイル。`],
  allCut: [(disks, files) => `${disks} disk${pluralS(disks)} cut: ${files} file${pluralS(files)}.`,
    (disks, files) => `${disks} 枚のディスクを切り出しました: ${files} 個のファイル。`],
  zipAll: [(files) => `Download all (.zip, ${files})`, (files) => `すべてダウンロード(.zip、${files})`],
  cutTitle: [(index, kind, program, forced) => `Disk ${index}: ${kind} (${program}` +
             `${forced ? ', taken for this kind as you chose' : ''})`,
  (index, kind, program, forced) => `ディスク ${index}: ${kind}(${program}` +
             `${forced ? '、選んだ種類として扱いました' : ''})`],
  endedWith: [(program, status) => `${program} ended with status ${status}: not every file ` +
              'was written.',
  (program, status) => `${program} は終了コード ${status} で終わりました。書けなかった` +
              'ファイルがあります。'],
  noFileWritten: ['No file was written: this kind has none, or the disk lacks its sectors.',
    'ファイルは書き出されませんでした。この種類にはファイルがないか、ディスクに' +
    'そのセクターがありません。'],
  diskFiles: [(index) => `Disk ${index}`, (index) => `ディスク ${index}`],
  partitionFiles: [(index, name) => `Partition ${index}${name ? ` “${name}”` : ''}`,
    (index, name) => `区画 ${index}${name ? `「${name}」` : ''}`],
  fileSystem: [(type, label, files, size) => `${type}${label ? ` “${label}”` : ''}: ${files}, ${size}`,
    (type, label, files, size) => `${type}${label ? `「${label}」` : ''}: ${files}、${size}`],
  noFileSystem: ['no file system', 'ファイルシステムなし'],
  filesTree: [(what) => `Files of ${what}`, (what) => `${what} のファイル`],
  zipFiles: [(files) => `Download these files (.zip, ${files})`,
    (files) => `これらのファイルをダウンロード(.zip、${files})`],
  downloadFile: [(path, size) => `Download ${path} (${size})`,
    (path, size) => `${path} をダウンロード(${size})`],
  noTime: ['no date', '日時なし'],
  notWritten: [(path) => `${path} could not be written from the disk.`,
    (path) => `${path} はディスクから書き出せませんでした。`],
  filesUnreadable: [(what) => `The files of ${what} could not be written.`,
    (what) => `${what} のファイルを書き出せませんでした。`],
  mapSummary: [(index) => `Show the map of disk ${index}`, (index) => `ディスク ${index} のマップを表示`],
  mapLabel: [(index) => `Sectors of disk ${index}, a row per track`,
    (index) => `ディスク ${index} のセクター(1 行が 1 トラック)`],
  mapHint: ['Point at, tap or focus a sector (arrow keys move) to see its ID and how it was read.',
    'セクターを指すか、タップするか、フォーカスすると(矢印キーで移動)、ID と読み取りの様子を表示します。'],
  mapLegend: ['Key', '凡例'],
  mapUnreadable: [(index) => `The sectors of disk ${index} could not be listed.`,
    (index) => `ディスク ${index} のセクターを一覧できませんでした。`],
  mapNoSectors: ['(no sectors)', '(セクターなし)'],
  mapTrack: [(track) => `Track ${track}`, (track) => `トラック ${track}`],
  mapRow: [(track, counts) => `Track ${track}: ${counts}`, (track, counts) => `トラック ${track}: ${counts}`],
  mapCount: [(kind, n) => `${n} ${kind}`, (kind, n) => `${kind} ${n}`],
  kind_sound: ['sound', '正常'],
  kind_voted: ['voted', '多数決'],
  kind_repaired: ['repaired', '修復'],
  kind_dataCrc: ['data CRC error', 'データ CRC エラー'],
  kind_idCrc: ['ID CRC error', 'ID CRC エラー'],
  kind_noData: ['no data', 'データなし'],
  kind_deleted: ['deleted data', '削除データ'],
  kind_other: ['other status', 'その他の状態'],
  kind_missing: ['missing', '欠落'],
  mapSector: [(track, place, id, length, density, status, kind) => `Track ${track}, place ${place}: ` +
               `${id}, ${length} bytes, ${density}, status ${status}: ${kind}`,
  (track, place, id, length, density, status, kind) => `トラック ${track} の ${place} 番目: ${id}、` +
               `${length} バイト、${density}、状態 ${status}: ${kind}`],
  mapMissing: [(track, r) => `Track ${track}: no sector carries R ${r} (missing)`,
    (track, r) => `トラック ${track}: R ${r} のセクターがありません(欠落)`],
  mapBad: [(revolutions) => `; bad copies in revolution ${revolutions}`,
    (revolutions) => `。回転 ${revolutions} で不良コピー`],
  got_goodCopy: [', a good copy found in another', '、別の回転で正常なコピーを取得'],
  got_voted: [(n) => `, voted from ${n} revolutions`, (n) => `、${n} 回転の多数決で取得`],
  got_repaired: [(n) => `, repaired by flipping ${n} bit${pluralS(n)}`,
    (n) => `、${n} ビットを反転して修復`],
  got_badCopy: [', no good copy: a bad copy kept', '、正常なコピーなし: 不良コピーのまま'],
  wentWrong: [(why) => `Something went wrong: ${why}. Try the image again, or reload the page.`,
    (why) => `問題が起きました: ${why}。イメージを開き直すか、ページを再読み込みしてください。`],
  wentWrongShort: [(why) => `Something went wrong: ${why}`, (why) => `問題が起きました: ${why}`],
  noPrograms: ['the module names no programs', 'モジュールがプログラムを挙げていません'],
  notLoaded: [(why) => `The programs could not be loaded${why ? ` (${why})` : ''}. Straight from ` +
              'the disk, open d88cut.html, the page in one file; this folder\'s index.html ' +
              'needs a web server (python3 -m http.server in its folder).',
  (why) => `プログラムを読み込めませんでした${why ? `(${why})` : ''}。ディスクから直接開くときは` +
              '1 ファイルのページ d88cut.html を開いてください。このフォルダーの index.html には' +
              ' Web サーバーが要ります(そのフォルダーで python3 -m http.server)。'],
};
const LANGUAGES = ['en', 'ja'];

// Japanese where the browser prefers it, unless the user chose.
function startLanguage() {
  let chosen = null;
  try {
    chosen = localStorage.getItem('d88cut-language');
  } catch (e) {
    chosen = null;  // storage refused (a file:// page in some browsers)
  }
  if (LANGUAGES.includes(chosen)) return chosen;
  const preferred = (navigator.languages && navigator.languages[0]) || navigator.language || '';
  return preferred.toLowerCase().startsWith('ja') ? 'ja' : 'en';
}
let language = startLanguage();

function t(key, ...values) {
  const text = TEXTS[key][language === 'ja' ? 1 : 0];
  return typeof text === 'function' ? text(...values) : text;
}

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
let versionText = '';

const state = {
  mod: null,       // the module the image was last written into
  name: '',
  bytes: null,
  beside: [],      // {name, bytes}: files read with the image (a KryoFlux set's)
  path: '',
  doc: null,
  cuts: [],        // {index, program, kind, forced, status, message, warnings, files}
  written: {},     // by file system ("disk-2", "part-0"): {mod, folder, entries, warnings}
  open: new Set(), // the folders of the files trees shown open, by file system and path
  maps: {},        // by disk index: its tracks as d88info lists them, once a map was opened
  mapsOpen: new Set(), // the disks whose maps are shown
};

// The status line and the problem box, kept as the text's key and values
// so that a change of language says them again.
const said = { status: null, problem: null };

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

function setStatus(key, ...values) {
  said.status = key ? [key, values] : null;
  $('status').textContent = key ? t(key, ...values) : '';
}

function showProblem(key, ...values) {
  said.problem = [key, values];
  const box = $('problem');
  box.textContent = t(key, ...values);
  box.hidden = false;
}

function clearProblem() {
  said.problem = null;
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
  return t('bytes', n);
}

function baseName(name) {
  const dot = name.lastIndexOf('.');
  return dot > 0 ? name.slice(0, dot) : name;
}

// The image's name as d88cut names its folder: "game.d88.gz" -> "game".
function imageBase() {
  return baseName(state.name.replace(/\.(gz|bz2|xz)$/i, ''));
}

// The download of every file cut: named after the image as d88cut names
// its folder ("game.d88.gz" -> "game.zip"), never as the file opened.
function zipName() {
  const base = imageBase();
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

// Lets go of the folders the files of file systems were written into.
function forgetWritten() {
  for (const written of Object.values(state.written)) {
    if (written.mod === state.mod && state.mod !== null) runs.forgetFiles(written.mod, written.folder);
  }
  state.written = {};
}

function resetImage() {
  state.cuts.forEach(forgetCut);
  forgetWritten();
  // No module holds the next image yet.
  Object.assign(state, { mod: null, name: '', bytes: null, beside: [], path: '', doc: null,
                         cuts: [], open: new Set(), maps: {}, mapsOpen: new Set() });
  $('image').hidden = true;
  $('results').hidden = true;
  $('files').hidden = true;
  $('cuts').replaceChildren();
  $('file-systems').replaceChildren();
  $('disks').tBodies[0].replaceChildren();
  $('image-warnings').replaceChildren();
  $('image-members').replaceChildren();
  $('maps').replaceChildren();
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
    showProblem('tooLarge', file.name, bytesText(size));
    setStatus(null);
    return;
  }
  setStatus('reading', file.name);
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
    showProblem('notAnImage', file.name, plain.decode(result.stderr).trim());
    setStatus(null);
    return;
  }
  state.doc = result.doc;
  showImage(result.doc);
}

// The file systems of the image's floppy disks or hard-disk partitions,
// as {key, partition, index, name, filesystem}.
function fileSystemsOf(doc) {
  if (doc.hardDisk) {
    return doc.hardDisk.partitions.map((p) => ({ key: `part-${p.index}`, partition: true,
                                                 index: p.index, name: p.name,
                                                 filesystem: p.filesystem }));
  }
  return (doc.disks || []).filter((d) => d.filesystem)
    .map((d) => ({ key: `disk-${d.index}`, partition: false, index: d.index, name: '',
                   filesystem: d.filesystem }));
}

function showImage(doc) {
  const disks = doc.disks || [];
  if (!doc.hardDisk) {
    const sound = disks.filter(looksSound);
    if (disks.length === 0 || sound.length === 0) {
      if (disks.length === 0) showProblem('noDisk', state.name);
      else showProblem('notFloppy', state.name, disks.length);
      setStatus(null);
      return;
    }
  }
  renderImage(doc);
  const systems = fileSystemsOf(doc);
  const withFiles = systems.filter((s) => s.filesystem).length;
  if (doc.hardDisk) {
    setStatus('partitionsFound', doc.hardDisk.partitions.length, withFiles);
    return;
  }
  const recognised = disks.filter((d) => (d.recognised || []).length > 0).length;
  if (recognised > 0) setStatus('recognised', recognised, disks.length, withFiles);
  else if (withFiles > 0) setStatus('filesOnly', withFiles);
  else setStatus('noneRecognised', state.name);
}

// The image's section and its files, in the page's language.
function renderImage(doc) {
  const disks = doc.disks || [];
  $('image-name').textContent = state.name;
  $('image-heading').dataset.text = doc.hardDisk ? 'partitionsIn' : 'disksIn';
  $('image-heading').textContent = t($('image-heading').dataset.text);
  const container = doc.container || {};
  const geometry = container.geometry;
  const archive = doc.archive || null;
  const flux = container.flux;
  const separator = t('listSeparator');
  if (doc.hardDisk) {
    const hd = doc.hardDisk;
    $('image-facts').textContent = t('hardDiskFacts', hd.format, t('partitions', hd.partitions.length),
                                     hd.sectorSize, bytesText(state.bytes.length));
  } else {
    $('image-facts').textContent = (archive
      ? t('archiveFacts', archive.format, t('members', archive.members.length))
      : flux ? t('fluxFacts', container.format, t('revolutions', flux.revolutions))
        : t('imageFacts', container.format || 'D88')) +
      `${t('disks', disks.length)}${separator}${bytesText(state.bytes.length)}` +
      (geometry ? t('geometry', geometry) : '');
  }
  $('image-members').setAttribute('aria-label', t('membersLabel'));
  $('image-members').replaceChildren(...(archive ? archive.members.map(memberItem) : []));
  $('image-members').hidden = !archive;
  $('member-head').hidden = !archive;
  const warnings = [...(doc.warnings || []), ...extentWarnings(disks, container.format)];
  for (const disk of disks) {
    if (disk.error) warnings.push(t('diskError', disk.index, disk.error));
    else if (!looksSound(disk)) {
      warnings.push(t('diskDamaged', disk.index, disk.media, t('sectors', disk.sectorCount)));
    }
  }
  $('image-warnings').replaceChildren(...warnings.map((w) => element('li', { textContent: w })));

  $('disks-wrap').hidden = disks.length === 0;
  const body = $('disks').tBodies[0];
  body.replaceChildren(...disks.map((disk) => diskRow(disk, archive !== null)));
  const recognised = disks.filter((d) => (d.recognised || []).length > 0);
  $('cut-all').hidden = recognised.length < 2;
  $('maps').replaceChildren(...(doc.hardDisk ? [] : disks.filter(looksSound).map(mapDetails)));
  $('image').hidden = false;
  renderFileSystems(doc);
}

// A D88 file whose disks do not end where the file ends: the last disk
// cut short, or bytes after it that no disk holds.
function extentWarnings(disks, format) {
  if ((format && format !== 'D88') || disks.length === 0) return [];  // offsets are the conversion's
  const last = disks[disks.length - 1];
  if (last.error || typeof last.size !== 'number') return [];
  const total = state.bytes.length;
  const end = last.offset + last.size;
  if (end > total) {
    return [t('cutShort', last.index, bytesText(last.size), bytesText(total - last.offset))];
  }
  if (end < total) return [t('trailing', bytesText(total - end))];
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

// A cell of the disk table, labelled for a phone's layout; `column` names
// it whatever the language.
function cell(column, content, className = '') {
  const td = element('td', { className });
  td.dataset.label = t(column);
  td.dataset.column = column;
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
    ? ` (${member.container}, ${t('disks', member.disks)})`
    : ` (${t('skipped', member.skipped)})`;
  return element('li', { className: member.skipped === null ? '' : 'skipped' }, [
    element('span', { className: 'member-name', textContent: memberText(member.name) }), what]);
}

function diskRow(disk, inArchive) {
  const tr = element('tr');
  tr.dataset.index = disk.index;
  tr.append(cell('headDisk', String(disk.index), 'num'));
  if (inArchive) tr.append(cell('headMember', memberText(disk.member || ''), 'member'));
  if (disk.error) {
    const td = cell('headProblem', disk.error);
    td.colSpan = 4;
    tr.append(td);
    return tr;
  }
  tr.append(cell('headMedia', disk.media));
  const name = cell('headName', disk.name === '' ? t('noName') : diskNameText(disk.name));
  name.title = disk.name;
  tr.append(name);
  tr.append(cell('headTracks', `${disk.trackCount} / ${disk.sectorCount}`, 'num'));
  const kinds = element('div');
  const recognised = disk.recognised || [];
  if (recognised.length === 0) {
    kinds.append(element('span', { className: 'none', textContent: t('none') }));
  }
  for (const r of recognised) {
    const button = element('button', {
      type: 'button',
      textContent: t('cutWith', r.program),
      className: 'cut-button',
    });
    button.dataset.program = r.program;
    button.setAttribute('aria-label', t('cutWithLabel', disk.index, r.program, r.kind));
    button.addEventListener('click', () => guarded(() => cutDisk(disk.index, r)));
    kinds.append(element('div', { className: 'kind' }, [
      element('span', { textContent: `${r.program} ${r.number}: ${r.kind}` }), button]));
  }
  kinds.append(forceControl(disk));
  tr.append(cell('headRecognised', kinds));
  return tr;
}

// The console programs' DISK argument: any kind forced onto the disk,
// whatever it holds (for a disk whose signature bytes are damaged).
function forceControl(disk) {
  const select = element('select', { className: 'force-kind' });
  select.setAttribute('aria-label', t('forceLabel', disk.index));
  for (const program of programs) {
    const group = element('optgroup', { label: program });
    for (const { number, kind } of kindsOf[program] || []) {
      group.append(element('option', { value: `${program} ${number}`,
                                       textContent: `${program} ${number}: ${kind}` }));
    }
    select.append(group);
  }
  const button = element('button', { type: 'button', className: 'quiet force-button',
                                     textContent: t('forceButton') });
  button.addEventListener('click', () => guarded(() => {
    const [program, number] = select.value.split(' ');
    const { kind } = kindsOf[program].find((k) => String(k.number) === number);
    return cutDisk(disk.index, { program, number: Number(number), kind }, false, true);
  }));
  return element('details', { className: 'force' }, [
    element('summary', { textContent: t('forceSummary') }),
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
    showProblem('notTaken', index, state.name);
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
    setStatus('cutDone', index, entry.program, timings.cutMs.toFixed(0), entry.files.length);
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
  setStatus('allCut', count, files);
}

function showCuts() {
  $('cuts').replaceChildren(...state.cuts.map(cutSection));
  const total = state.cuts.reduce((n, c) => n + c.files.length, 0);
  $('zip').disabled = total === 0;
  $('zip').textContent = t('zipAll', t('filesCount', total));
  $('results').hidden = state.cuts.length === 0;
}

function cutSection(entry) {
  const section = element('section', { className: 'cut' });
  section.dataset.cut = `${entry.index}-${entry.program}`;
  section.append(element('h3', {
    tabIndex: -1,
    textContent: t('cutTitle', entry.index, entry.kind, entry.program, entry.forced),
  }));
  for (const line of entry.message) {
    section.append(element('p', { className: 'message', lang: 'ja', textContent: line }));
  }
  for (const line of entry.warnings) {
    section.append(element('p', { className: 'warning', lang: 'en', textContent: line }));
  }
  if (entry.status !== 0) {
    section.append(element('p', { className: 'warning',
                                  textContent: t('endedWith', entry.program, entry.status) }));
  }
  if (entry.files.length === 0) {
    section.append(element('p', { className: 'hint', textContent: t('noFileWritten') }));
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

function saveBytes(bytes, name, type) {
  const url = URL.createObjectURL(new Blob([bytes], { type }));
  const link = element('a', { href: url, download: name });
  document.body.append(link);
  link.click();
  link.remove();
  setTimeout(() => URL.revokeObjectURL(url), 60000);
}

function downloadZip() {
  saveBytes(zipSync(zipEntries(), { level: 6 }), zipName(), 'application/zip');
}

// ---------------------------------------------------------------------------
// The files of file systems: a tree from d88info's listing; the bytes and
// the names they are saved under from the files the programs write, as
// d88cut writes them into its disk<NN>-files and part<N>-files folders.
// ---------------------------------------------------------------------------

// The listing's files as a tree: {folders: Map(name -> node), files: [{name, file, at}]},
// `at` the file's place in the listing.
function treeOf(files) {
  const root = { folders: new Map(), files: [] };
  files.forEach((file, at) => {
    const parts = file.path.split('/');
    let node = root;
    for (const part of parts.slice(0, -1)) {
      if (!node.folders.has(part)) node.folders.set(part, { folders: new Map(), files: [] });
      node = node.folders.get(part);
    }
    node.files.push({ name: parts[parts.length - 1], file, at });
  });
  return root;
}

// "2026-12-08T09:08:38" as "2026-12-08 09:08:38".
function timeText(modified) {
  return modified === null ? t('noTime') : modified.replace('T', ' ');
}

function renderFileSystems(doc) {
  const systems = fileSystemsOf(doc);
  $('file-systems').replaceChildren(...systems.map(fileSystemSection));
  $('files').hidden = systems.length === 0;
}

function fileSystemSection(system) {
  const section = element('section', { className: 'fs' });
  section.dataset.fs = system.key;
  const what = system.partition ? t('partitionFiles', system.index, system.name)
    : t('diskFiles', system.index);
  const fsys = system.filesystem;
  if (!fsys) {
    section.append(element('h3', { textContent: `${what}: ${t('noFileSystem')}` }));
    return section;
  }
  const size = fsys.files.reduce((total, f) => total + f.size, 0);
  const title = element('h3', {
    id: `fs-title-${system.key}`,
    textContent: `${what}: ${t('fileSystem', fsys.type, fsys.label,
                                   t('filesCount', fsys.files.length), bytesText(size))}`,
  });
  section.append(title);
  for (const problem of fsys.problems) {
    section.append(element('p', { className: 'warning', lang: 'en', textContent: problem }));
  }
  const written = state.written[system.key];
  for (const line of written ? written.warnings : []) {
    section.append(element('p', { className: 'warning', lang: 'en', textContent: line }));
  }
  if (fsys.files.length === 0) return section;
  const zip = element('button', { type: 'button', className: 'quiet fs-zip',
                                  textContent: t('zipFiles', t('filesCount', fsys.files.length)) });
  zip.addEventListener('click', () => guarded(() => downloadFileSystem(system)));
  section.append(element('p', { className: 'actions' }, [zip]));
  const tree = folderList(system, treeOf(fsys.files), '');
  tree.classList.add('tree');
  tree.setAttribute('aria-label', t('filesTree', what));
  section.append(tree);
  return section;
}

// A folder's list: its folders (each one open or shut) first, then its
// files, each a button that downloads it.
function folderList(system, node, path) {
  const list = element('ul');
  for (const [name, child] of node.folders) {
    const inside = path ? `${path}/${name}` : name;
    const openKey = `${system.key}:${inside}`;
    const details = element('details', { open: state.open.has(openKey) }, [
      element('summary', { className: 'folder-name', textContent: name }),
      folderList(system, child, inside)]);
    details.dataset.path = inside;
    details.addEventListener('toggle', () => {
      if (details.open) state.open.add(openKey);
      else state.open.delete(openKey);
    });
    list.append(element('li', { className: 'folder' }, [details]));
  }
  for (const { name, file, at } of node.files) {
    const button = element('button', { type: 'button', className: 'link file-download',
                                       textContent: name });
    button.dataset.path = file.path;
    button.setAttribute('aria-label', t('downloadFile', file.path, bytesText(file.size)));
    button.addEventListener('click', () => guarded(() => downloadOne(system, at)));
    const time = element('time', { className: 'date', textContent: timeText(file.modified) });
    if (file.modified !== null) time.dateTime = file.modified;
    list.append(element('li', { className: 'file' }, [button,
      element('span', { className: 'size', textContent: bytesText(file.size) }), time]));
  }
  return list;
}

// The file system's files written as d88cut writes them, once per module.
async function writtenFiles(system) {
  const mod = await moduleWithImage();
  const known = state.written[system.key];
  if (known && known.mod === mod) return known;
  const result = runs.writeFiles(mod, state.path, system.index, system.partition);
  if (result.status < 0) {
    runs.forgetFiles(mod, result.folder);
    return null;
  }
  const warnings = plain.decode(result.stderr).split('\n').filter((l) => l !== '');
  const written = { mod, folder: result.folder, entries: result.entries, warnings };
  state.written[system.key] = written;
  if (warnings.length > 0) renderFileSystems(state.doc);
  return written;
}

// The written files in the listing's order (d88info lists no folders).
function writtenFilesOnly(written) {
  return written.entries.filter((e) => !e.folder);
}

async function downloadOne(system, at) {
  clearProblem();
  const written = await writtenFiles(system);
  const what = system.partition ? t('partitionFiles', system.index, system.name)
    : t('diskFiles', system.index);
  if (written === null) {
    showProblem('filesUnreadable', what);
    return;
  }
  const file = system.filesystem.files[at];
  const entry = writtenFilesOnly(written)[at];
  if (!entry || entry.path !== file.path || entry.written === null) {
    showProblem('notWritten', file.path);
    return;
  }
  const name = entry.written.slice(entry.written.lastIndexOf('/') + 1);
  saveBytes(runs.readWritten(written.mod, written.folder, entry.written), name,
            'application/octet-stream');
}

// A DOS time as the zip keeps it: the disk's own, read as local time.
function zipTime(modified) {
  const m = modified && /^(\d+)-(\d+)-(\d+)T(\d+):(\d+):(\d+)$/.exec(modified);
  if (!m || Number(m[1]) < 1980) return undefined;
  return new Date(Number(m[1]), Number(m[2]) - 1, Number(m[3]), Number(m[4]), Number(m[5]),
                  Number(m[6]));
}

async function downloadFileSystem(system) {
  clearProblem();
  const written = await writtenFiles(system);
  if (written === null) {
    showProblem('filesUnreadable', system.partition ? t('partitionFiles', system.index, system.name)
      : t('diskFiles', system.index));
    return;
  }
  const times = new Map(system.filesystem.files.map((f) => [f.path, f.modified]));
  const entries = {};
  for (const entry of written.entries) {
    if (entry.written === null) continue;
    if (entry.folder) {
      entries[`${entry.written}/`] = new Uint8Array(0);
      continue;
    }
    const bytes = runs.readWritten(written.mod, written.folder, entry.written);
    const mtime = zipTime(times.get(entry.path));
    entries[entry.written] = mtime ? [bytes, { mtime }] : bytes;
  }
  const folder = system.partition ? `part${system.index}-files`
    : `disk${String(system.index).padStart(2, '0')}-files`;
  saveBytes(zipSync(entries, { level: 6 }), `${imageBase()}-${folder}.zip`, 'application/zip');
}

// ---------------------------------------------------------------------------
// A map of a disk's sectors, as `d88info --map` prints it: a row per track,
// a cell per sector in stored order coloured by how it was read, then a
// cell per sector number that no sector of the track carries (up to the
// highest any track carries).  Listed only when opened: a large image's
// sectors are many.
// ---------------------------------------------------------------------------

// The kinds of cell in the legend's order, each with its mark in the text map.
const MAP_KINDS = [['sound', '.'], ['voted', 'v'], ['repaired', 'r'], ['dataCrc', 'x'],
  ['idCrc', 'i'], ['noData', 'n'], ['deleted', 'd'], ['other', '?'], ['missing', '']];
const MARK_OF = Object.fromEntries(MAP_KINDS);

// A sector's kind: its stored status, unless a dump's decoding voted or
// repaired it from bad copies.
function sectorKind(sector, bad) {
  if (bad && (bad.obtained === 'voted' || bad.obtained === 'repaired')) return bad.obtained;
  switch (sector.status) {
    case 0xA0: return 'idCrc';
    case 0xB0: return 'dataCrc';
    case 0xF0: return 'noData';
    case 0x00:
    case 0x10: return sector.deleted === 0x10 || sector.status === 0x10 ? 'deleted' : 'sound';
    default: return 'other';
  }
}

const hex2 = (n) => `0x${n.toString(16).toUpperCase().padStart(2, '0')}`;

// What a dump's decoding says of a sector read with bad copies.
function badText(bad) {
  const revolutions = Array.isArray(bad.revolutions) ? bad.revolutions.join(', ') : String(bad.revolutions);
  const key = `got_${bad.obtained}`;
  const count = bad.obtained === 'voted' ? bad.votedRevolutions : bad.flippedBits;
  return t('mapBad', revolutions) + (TEXTS[key] ? t(key, count) : `, ${bad.obtained}`);
}

// The cells of a track: {kind, text} each.
function trackCells(track, highest) {
  const bads = (track.flux && track.flux.badCrc) || [];
  const present = new Set();
  const cells = track.sectors.map((sector, i) => {
    const bad = bads.find((b) => b.c === sector.c && b.h === sector.h && b.r === sector.r &&
                                 b.n === sector.n);
    const kind = sectorKind(sector, bad);
    present.add(sector.r);
    const id = `C ${sector.c} H ${sector.h} R ${sector.r} N ${sector.n}`;
    const text = t('mapSector', track.track, i + 1, id, sector.length,
                   sector.density === 0x40 ? 'FM' : 'MFM', hex2(sector.status), t(`kind_${kind}`)) +
      (bad ? badText(bad) : '');
    return { kind, text };
  });
  for (let r = 1; r <= highest; r += 1) {
    if (!present.has(r)) cells.push({ kind: 'missing', text: t('mapMissing', track.track, r) });
  }
  return cells;
}

function countsText(counts) {
  return MAP_KINDS.filter(([kind]) => counts[kind] > 0)
    .map(([kind]) => t('mapCount', t(`kind_${kind}`), counts[kind])).join(t('listSeparator'));
}

function mapOf(index, tracks) {
  const highest = Math.max(0, ...tracks.flatMap((tr) => tr.sectors.map((s) => s.r)));
  const total = {};
  const details = element('p', { className: 'map-details', textContent: t('mapHint') });
  details.setAttribute('aria-live', 'polite');
  const grid = element('div', { className: 'map' });
  grid.setAttribute('role', 'group');
  grid.setAttribute('aria-label', t('mapLabel', index));
  for (const track of tracks) {
    const cells = trackCells(track, highest);
    const counts = {};
    for (const c of cells) counts[c.kind] = (counts[c.kind] || 0) + 1;
    for (const [kind, n] of Object.entries(counts)) total[kind] = (total[kind] || 0) + n;
    const row = element('div', { className: 'map-row' });
    row.setAttribute('role', 'group');
    row.setAttribute('aria-label', t('mapRow', track.track,
                                     cells.length ? countsText(counts) : t('mapNoSectors')));
    row.dataset.track = track.track;
    const label = element('span', { className: 'map-track', textContent: String(track.track) });
    label.setAttribute('aria-hidden', 'true');
    row.append(label);
    if (cells.length === 0) {
      row.append(element('span', { className: 'none', textContent: t('mapNoSectors') }));
    }
    for (const c of cells) {
      const button = element('button', { type: 'button', className: `map-cell map-${c.kind}`,
                                          title: c.text, textContent: MARK_OF[c.kind],
                                          tabIndex: -1 });
      button.dataset.kind = c.kind;
      button.setAttribute('aria-label', c.text);
      row.append(button);
    }
    grid.append(row);
  }
  const first = grid.querySelector('.map-cell');
  if (first) first.tabIndex = 0;
  const show = (event) => {
    const cell = event.target.closest('.map-cell');
    if (cell) details.textContent = cell.title;
  };
  grid.addEventListener('click', show);
  grid.addEventListener('focusin', show);
  grid.addEventListener('mouseover', show);
  grid.addEventListener('keydown', (event) => moveInMap(grid, event));
  const legend = element('ul', { className: 'map-legend' },
    MAP_KINDS.filter(([kind]) => total[kind] > 0 || kind === 'sound').map(([kind]) =>
      element('li', {}, [element('span', { className: `map-cell map-${kind}`,
                                           textContent: MARK_OF[kind] }),
                         ` ${t(`kind_${kind}`)}: ${total[kind] || 0}`])));
  legend.setAttribute('aria-label', t('mapLegend'));
  for (const swatch of legend.querySelectorAll('.map-cell')) swatch.setAttribute('aria-hidden', 'true');
  return element('div', { className: 'map-wrap' }, [legend, details, grid]);
}

// The arrow keys move between the cells (one stop for Tab): along the
// track, or to the same place on the track above or below.
function moveInMap(grid, event) {
  const cell = event.target.closest('.map-cell');
  if (!cell) return;
  const row = cell.parentElement;
  const inRow = [...row.querySelectorAll('.map-cell')];
  const at = inRow.indexOf(cell);
  let next = null;
  if (event.key === 'ArrowLeft') next = inRow[at - 1];
  else if (event.key === 'ArrowRight') next = inRow[at + 1];
  else if (event.key === 'Home') next = inRow[0];
  else if (event.key === 'End') next = inRow[inRow.length - 1];
  else if (event.key === 'ArrowUp' || event.key === 'ArrowDown') {
    let other = event.key === 'ArrowUp' ? row.previousElementSibling : row.nextElementSibling;
    while (other && !other.querySelector('.map-cell')) {
      other = event.key === 'ArrowUp' ? other.previousElementSibling : other.nextElementSibling;
    }
    if (other) {
      const cells = [...other.querySelectorAll('.map-cell')];
      next = cells[Math.min(at, cells.length - 1)];
    }
  } else return;
  event.preventDefault();
  if (!next) return;
  cell.tabIndex = -1;
  next.tabIndex = 0;
  next.focus();
}

// A disk's "Show the map" control; the map is listed when first opened.
function mapDetails(disk) {
  const details = element('details', { className: 'map-disk' }, [
    element('summary', { textContent: t('mapSummary', disk.index) })]);
  details.dataset.index = disk.index;
  details.addEventListener('toggle', () => {
    if (!details.open) {
      state.mapsOpen.delete(disk.index);
      return;
    }
    state.mapsOpen.add(disk.index);
    if (details.children.length === 1) guarded(() => fillMap(details, disk.index));
  });
  if (state.mapsOpen.has(disk.index)) details.open = true;
  return details;
}

async function fillMap(details, index) {
  if (!(index in state.maps)) {
    const mod = await moduleWithImage();
    state.maps[index] = runs.diskTracks(mod, state.path, index);
  }
  const tracks = state.maps[index];
  if (details.children.length > 1) return;
  details.append(tracks === null
    ? element('p', { className: 'problem', textContent: t('mapUnreadable', index) })
    : mapOf(index, tracks));
}

// ---------------------------------------------------------------------------
// The page's language.
// ---------------------------------------------------------------------------

// Says every text of the page again in `lang`, and keeps the choice.
function setLanguage(lang, keep) {
  language = lang;
  if (keep) {
    try {
      localStorage.setItem('d88cut-language', lang);
    } catch (e) {
      // Not kept: the page still speaks it until it is closed.
    }
  }
  document.documentElement.lang = lang;
  document.title = t('pageTitle');
  for (const node of document.querySelectorAll('[data-text]')) node.textContent = t(node.dataset.text);
  for (const button of document.querySelectorAll('[data-language]')) {
    button.setAttribute('aria-pressed', String(button.dataset.language === lang));
  }
  $('language').setAttribute('aria-label', t('language'));
  if (versionText) $('version').textContent = t('version', versionText);
  if (said.status) setStatus(said.status[0], ...said.status[1]);
  if (said.problem) showProblem(said.problem[0], ...said.problem[1]);
  if (state.doc && !$('image').hidden) renderImage(state.doc);
  if (state.cuts.length > 0) showCuts();
}

// Runs an action of the user's; whatever goes wrong is said on the page.
async function guarded(action) {
  try {
    await action();
  } catch (error) {
    dropModule();
    showProblem('wentWrong', error && error.message ? error.message : String(error));
    setStatus(null);
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
    showProblem('wentWrongShort', event.message);
  });
  window.addEventListener('unhandledrejection', (event) => {
    showProblem('wentWrongShort', String(event.reason));
  });
  for (const button of document.querySelectorAll('[data-language]')) {
    button.addEventListener('click', () => setLanguage(button.dataset.language, true));
  }
  setLanguage(language, false);
  setStatus('loading');
  setUpDropZone();
  $('cut-all').addEventListener('click', () => guarded(cutAll));
  $('zip').addEventListener('click', () => guarded(downloadZip));
  $('file').disabled = true;
  try {
    const mod = await getModule();
    const version = runs.run(mod, 'd88info', ['--version']);
    versionText = plain.decode(version.stdout).trim().replace(/^d88info /, '');
    $('version').textContent = t('version', versionText);
    const facts = runs.facts(mod);
    if (facts === null) throw new Error(t('noPrograms'));
    programs = facts.programs.map((p) => p.program);
    for (const p of facts.programs) kindsOf[p.program] = p.kinds;
    largestImage = facts.largestImage;
  } catch (error) {
    showProblem('notLoaded', error && error.message ? error.message : '');
    setStatus(null);
    return;
  }
  $('file').disabled = false;
  timings.loadMs = performance.now();
  timings.ready = true;
  setStatus('ready');
}

start();
