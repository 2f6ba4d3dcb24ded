// Writes the reference implementation's verdicts (the json5 package) for the
// JSON5 reader's differential test:
//   tests/data/json5_oracle/suite.tsv      one line per JSONTestSuite file:
//                                          name, verdict, value
//   tests/data/json5_oracle/generated.tsv  one line per generated document:
//                                          document, verdict, value
// Run `npm ci && node make_expectations.js` here after changing the generator;
// the same seed always gives the same files. For a wider look without touching
// the committed files: node make_expectations.js --seed 7 --count 50000 --out DIR
//
// The text is decoded from its bytes with TextDecoder (invalid UTF-8 becomes
// U+FFFD, a BOM is kept), then parsed with JSON5.parse. Values are written in a
// canonical form that the C++ test renders too:
//   n t f                 null, true, false
//   d<16 hex digits>      a number's IEEE double bits; dNaN for NaN
//   s"..."                a string as UTF-8 bytes (lone surrogates as U+FFFD):
//                         printable ASCII but " and \ as is, others as \xhh
//   [a,b]                 arrays
//   {k:v,...}             objects: each key once with its last value, keys
//                         (rendered as strings) sorted bytewise
//   *                     accepted, but the value cannot be compared (below)
// Documents in generated.tsv use the same byte escaping as strings, unquoted.
//
// Reference quirks met here, and what the reader does instead:
// - Its identifier tables come from an older Unicode: letters added since
//   (e.g. U+0560) are refused by it and accepted by the reader. The generator
//   only draws identifier characters that both accept.
// - It has no nesting limit; the reader stops at 512. The generator stays far
//   below that.
// - It turns a U+2028/U+2029 in a string into a console warning; not a verdict.
'use strict'
const fs = require('fs')
const path = require('path')
const JSON5 = require('json5')
const util = require('json5/lib/util')

const root = path.join(__dirname, '..', 'data')
const suiteDir = path.join(root, 'JSONTestSuite', 'test_parsing')
const option = (name, fallback) => {
  const at = process.argv.indexOf(name)
  return at > 0 ? process.argv[at + 1] : fallback
}
const outDir = option('--out', path.join(root, 'json5_oracle'))
const count = Number(option('--count', 1500))

// ---- canonical rendering ------------------------------------------------------------

function escapeBytes (bytes) {
  let out = ''
  for (const b of bytes) {
    if (b >= 0x20 && b <= 0x7e && b !== 0x22 && b !== 0x5c) out += String.fromCharCode(b)
    else out += '\\x' + b.toString(16).padStart(2, '0')
  }
  return out
}

function renderString (s) { return 's"' + escapeBytes(Buffer.from(s, 'utf8')) + '"' }

function renderNumber (x) {
  if (Number.isNaN(x)) return 'dNaN'
  const view = new DataView(new ArrayBuffer(8))
  view.setFloat64(0, x)
  return 'd' + view.getBigUint64(0).toString(16).padStart(16, '0')
}

function render (v) {
  if (v === null) return 'n'
  if (v === true) return 't'
  if (v === false) return 'f'
  if (typeof v === 'number') return renderNumber(v)
  if (typeof v === 'string') return renderString(v)
  if (Array.isArray(v)) return '[' + v.map(render).join(',') + ']'
  const entries = Object.keys(v).map(k => [renderString(k), render(v[k])])
  entries.sort((a, b) => (a[0] < b[0] ? -1 : a[0] > b[0] ? 1 : 0))
  if (entries.some((e, i) => i > 0 && e[0] === entries[i - 1][0])) throw new KeysCollide()
  return '{' + entries.map(([k, x]) => k + ':' + x).join(',') + '}'
}

// Two keys that differ only in lone surrogates are two keys to JS but one to
// UTF-8 (both hold U+FFFD); such a value cannot be compared, only the verdict.
class KeysCollide extends Error {}

const decoder = new TextDecoder('utf-8', { fatal: false, ignoreBOM: true })

function verdict (bytes) {
  let value
  try {
    value = JSON5.parse(decoder.decode(bytes))
  } catch (e) {
    if (!(e instanceof SyntaxError)) throw e
    return 'reject\t-'
  }
  try {
    return 'accept\t' + render(value)
  } catch (e) {
    if (e instanceof KeysCollide) return 'accept\t*'
    throw e
  }
}

// ---- generated documents ----------------------------------------------------------------

// mulberry32: small, fixed, good enough to spread the cases.
let seed = Number(option('--seed', 0x5eed1e55))
function random () {
  seed = (seed + 0x6d2b79f5) | 0
  let t = seed
  t = Math.imul(t ^ (t >>> 15), t | 1)
  t ^= t + Math.imul(t ^ (t >>> 7), t | 61)
  return ((t ^ (t >>> 14)) >>> 0) / 4294967296
}
const below = n => Math.floor(random() * n)
const pick = list => list[below(list.length)]
const chance = p => random() < p
const repeat = (n, f) => Array.from({ length: n }, f).join('')

const spaces = [' ', ' ', ' ', '\n', '\t', '\r\n', '\r', '\v', '\f', '\u00a0', '\ufeff', '\u2028', '\u2029',
  '\u1680', '\u2003', '\u202f', '\u3000', '// note\n', '//\r', '// x\u2028', '/* c */', '/**/', '/* * / */', '/*\n*/']
function ws () {
  if (chance(0.7)) return ''
  return pick(spaces)
}

const numbers = ['0', '-0', '+0', '1', '-1', '+1', '12', '0.5', '.5', '-.5', '+.5', '5.', '-5.', '1e3', '1E+3',
  '1e-3', '2.5e-3', '.5e1', '5.e1', '0e0', '0.0', '1.0', '100e-2', '0x0', '-0x0', '0xFF', '0Xab', '+0x1F', '-0x10',
  '0x7fffffffffffffff', '0x8000000000000000', '-0x8000000000000000', '0x20000000000001', '0xFFFFFFFFFFFFFFFFFF',
  '9007199254740993', '9223372036854775807', '-9223372036854775808', '9223372036854775808', '18446744073709551616',
  '0.1', '0.30000000000000004', '1e308', '1.7976931348623157e308', '1.7976931348623159e308', '1e309', '-1e400',
  '5e-324', '2.4703282292062328e-324', '2.4703282292062327e-324', '1e-400', '4.9406564584124654e-324',
  '2.2250738585072011e-308', '123456789012345678901234567890', '0.000000000000000000000000000001',
  'Infinity', '-Infinity', '+Infinity', 'NaN', '-NaN', '+NaN', '1e-7', '1234.5678e-10']
function number () {
  if (chance(0.6)) return pick(numbers)
  const sign = pick(['', '', '-', '+'])
  const digits = n => repeat(n, () => String(below(10)))
  const whole = pick(['0', String(1 + below(9)) + digits(below(20))])
  switch (below(4)) {
    case 0: return sign + whole
    case 1: return sign + whole + '.' + digits(below(25))
    case 2: return sign + '.' + digits(1 + below(20)) + (chance(0.5) ? 'e' + pick(['', '+', '-']) + digits(1 + below(3)) : '')
    default: return sign + whole + (chance(0.5) ? '.' + digits(below(5)) : '') + pick(['e', 'E']) +
      pick(['', '+', '-']) + String(below(400))
  }
}

function hex4 (n) { return n.toString(16).padStart(4, '0') }
const stringPieces = [
  () => pick(['a', 'b', 'Z', ' ', '0', 'hello', 'Valentine', '~', '{', '}', '[', ',', ':', '/', '*', '//', '/*']),
  () => pick(['\\b', '\\f', '\\n', '\\r', '\\t', '\\v', '\\0', '\\\\', '\\/', '\\a', '\\q', '\\ ', '\\\u00e9', '\\$']),
  () => '\\x' + below(256).toString(16).padStart(2, '0'),
  () => '\\u' + hex4(below(0x10000)).toUpperCase(),
  () => '\\u' + hex4(0xd800 + below(0x400)) + '\\u' + hex4(0xdc00 + below(0x400)),
  () => '\\u' + hex4(0xd800 + below(0x400)),
  () => '\\u' + hex4(0xdc00 + below(0x400)),
  () => '\\u' + hex4(0xd800 + below(0x400)) + '\\\n\\u' + hex4(0xdc00 + below(0x400)),
  () => pick(['\\\n', '\\\r\n', '\\\r', '\\\u2028', '\\\u2029']),
  () => pick(['\u2028', '\u2029', '\t', '\u0000', '\u001f', '\u007f']),
  () => pick(['\u00e9', '\u00df', '\u4e2d', '\u{1f600}', '\u{10400}', '\u0301', '\ufffd', '\u00a0', '\ufeff'])
]
function string () {
  const quote = pick(['"', "'"])
  let body = repeat(below(4), () => pick(stringPieces)())
  if (chance(0.2)) body += quote === '"' ? pick(["'", '\\"']) : pick(['"', "\\'"])
  return quote + body + quote
}

// Identifier characters both the reference and the reader accept.
const idStart = ['a', 'z', 'A', 'Q', '$', '_', '\u00e9', '\u00df', '\u03a9', '\u0436', '\u05d0', '\u4e2d', '\u01c5',
  '\u02b0', '\u216b', '\u{10400}', '\u{1d49c}']
const idPartOnly = ['0', '9', '\u0301', '\u0903', '\u0663', '\u203f', '\u200c', '\u200d']
for (const c of idStart) if (!util.isIdStartChar(c)) throw new Error('not a start for the reference: ' + c)
for (const c of idPartOnly) if (util.isIdStartChar(c) || !util.isIdContinueChar(c)) throw new Error('not a part: ' + c)
const escapeId = c => '\\u' + hex4(c.codePointAt(0))
function identifier () {
  let s = pick(['name', 'x', 'category', 'Infinity', 'NaN', 'null', 'true', '__proto__', 'a' + pick(idPartOnly)])
  if (chance(0.4)) {
    const first = pick(idStart)
    s = (chance(0.2) && first.length === 1 ? escapeId(first) : first)
    for (let i = below(4); i > 0; i--) {
      const c = chance(0.3) ? pick(idPartOnly) : pick(idStart)
      s += chance(0.15) && c.length === 1 ? escapeId(c) : c
    }
  }
  return s
}
function key () {
  if (chance(0.2)) return pick(['a', 'b', '"a"', "'b'", '"\\u0061"', 'a\\u0062'])  // duplicates, spelled differently
  if (chance(0.6)) return identifier()
  let s
  do s = string(); while (/\\u[dD][89a-fA-F]/.test(s))  // no lone surrogates in keys (see KeysCollide)
  return s
}

function value (depth) {
  const r = random()
  if (depth > 2 || r < (depth === 0 ? 0.15 : 0.5)) {
    return pick([() => 'null', () => 'true', () => 'false', number, number, string, string])()
  }
  const count = below(4)
  const trailing = count > 0 && chance(0.3)
  if (r < 0.72) {
    const items = Array.from({ length: count }, () => ws() + value(depth + 1) + ws())
    return '[' + ws() + items.join(',') + (trailing ? ',' + ws() : '') + ']'
  }
  const members = Array.from({ length: count }, () => ws() + key() + ws() + ':' + ws() + value(depth + 1) + ws())
  return '{' + ws() + members.join(',') + (trailing ? ',' + ws() : '') + '}'
}

function document () { return (chance(0.05) ? '\ufeff' : '') + ws() + value(0) + ws() }

const insertions = [',', ']', '}', '[', '{', '"', "'", '\\', '/', '*', ':', '0', '1', '.', 'e', 'x', '+', '-', ' ',
  '\n', '\r', 'I', 'N', '\\u', '\\x4', '\\0', '\\1', '0x', '/*', '//', 'Infinity', '\u2028', 'undefined']
const strayBytes = [0x00, 0x80, 0xbf, 0xc0, 0xc3, 0xe2, 0xed, 0xf0, 0xf4, 0xf5, 0xff]
function mutate (bytes) {
  let b = Array.from(bytes)
  for (let n = 1 + below(3); n > 0; n--) {
    const at = below(b.length + 1)
    switch (below(6)) {
      case 0: b.splice(at, 1); break
      case 1: b.splice(at, 0, ...Buffer.from(pick(insertions), 'utf8')); break
      case 2: b.splice(at, 1, pick(strayBytes)); break
      case 3: b = b.slice(0, at); break
      case 4: b.splice(at, 0, ...b.slice(at, at + 1 + below(8))); break
      default: b.splice(at, 1, ...Buffer.from(pick(insertions), 'utf8')); break
    }
  }
  return Buffer.from(b)
}

// Hand-picked corners, ahead of the random ones.
const corners = ['', ' ', '\ufeff', '\ufeff{}', '{}', '[]', '[,]', '{,}', '[1,,2]', '[1 2]', '{a:1 b:2}', '01', '-01',
  '00', '0.', '.', '-.', '+', '-', '.e1', '1e', '1e+', '0x', '0xg', '0x.1', '1.2.3', '--1', '+-1', 'inf', 'nan',
  'Infinityx', 'NaNa', '[1]x', '"\\01"', '"\\08"', '"\\00"', '"\\1"', '"\\9"', '"\\x1"', '"\\u12"', '"\\u{41}"',
  '"a\nb"', '"a\rb"', '"a\u2028b"', '"\\\r\n"', '"', "'", '"\\"', '/* x', '/* x *', '// x', '[1]//', '[1]/*', '/',
  '[1]/', '{a:1,}', '{"a":1,}', '[1,]', '{1:1}', '{-a:1}', '{a-b:1}', '{$:1}', '{_:1}', '{\\u0061:1}', '{\\u0031:1}',
  '{a\\u0031:1}', '{\\x61:1}', '{\\ua:1}', '{a:1,a:2}', '{"":1}', "{'':1}", '[true false]', 'True', 'NULL',
  '[1\u2028]', '{\u00a0a\u3000:\u2029 1}', '"\ud800"', '\u180e1', '\u200b1', '1\u0085']
function expectLines (docs) {
  return docs.map(d => escapeBytes(d) + '\t' + verdict(d) + '\n').join('')
}

function generated () {
  const docs = corners.map(s => Buffer.from(s, 'utf8'))
  for (let i = 0; i < count; i++) docs.push(Buffer.from(document(), 'utf8'))
  for (let i = 0; i < count; i++) docs.push(mutate(Buffer.from(document(), 'utf8')))
  return docs
}

function suite () {
  return fs.readdirSync(suiteDir).filter(f => f.endsWith('.json')).sort()
    .map(f => f + '\t' + verdict(fs.readFileSync(path.join(suiteDir, f))) + '\n').join('')
}

// The reference warns on stderr about U+2028/U+2029 in strings; that is noise here.
console.warn = () => {}
fs.mkdirSync(outDir, { recursive: true })
fs.writeFileSync(path.join(outDir, 'suite.tsv'), suite())
fs.writeFileSync(path.join(outDir, 'generated.tsv'), expectLines(generated()))
for (const f of ['suite.tsv', 'generated.tsv']) {
  const lines = fs.readFileSync(path.join(outDir, f), 'utf8').trim().split('\n')
  const accepted = lines.filter(l => l.split('\t')[1] === 'accept').length
  console.log(`${f}: ${lines.length} documents, ${accepted} accepted by the reference`)
}
