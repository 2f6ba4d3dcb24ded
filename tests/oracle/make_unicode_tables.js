// Prints the code point tables of src/json5/json5_reader.cpp (identifier letters and
// marks, space separators) from this Node's Unicode data, between the marker
// lines used in that file. `--check` compares them with the file instead and
// exits 1 when they differ (e.g. after a Node update that brings a newer
// Unicode; the tables then only need regenerating if that is wanted).
//
//   node make_unicode_tables.js            # print
//   node make_unicode_tables.js --write    # replace the block in the source
//   node make_unicode_tables.js --check
'use strict'
const fs = require('fs')
const path = require('path')

const source = path.join(__dirname, '..', '..', 'src', 'json5', 'json5_reader.cpp')
const begin = '// ---- begin generated tables'
const end = '// ---- end generated tables'

// ECMAScript 5.1 identifiers: UnicodeLetter starts one; combining marks, digits
// and connector punctuation may follow (ZWNJ/ZWJ and ASCII are handled in code).
const start = /[\p{Lu}\p{Ll}\p{Lt}\p{Lm}\p{Lo}\p{Nl}]/u
const part = /[\p{Mn}\p{Mc}\p{Nd}\p{Pc}]/u
const space = /\p{Zs}/u

function ranges (re, from) {
  const out = []
  for (let cp = from; cp <= 0x10ffff; cp++) {
    if (cp >= 0xd800 && cp <= 0xdfff) continue
    if (!re.test(String.fromCodePoint(cp))) continue
    const last = out[out.length - 1]
    if (last && last[1] === cp - 1) last[1] = cp
    else out.push([cp, cp])
  }
  return out
}

function table (name, comment, list) {
  const cells = list.map(([a, b]) => `{0x${a.toString(16).toUpperCase()}, 0x${b.toString(16).toUpperCase()}}`)
  const lines = []
  let line = '   '
  for (const cell of cells) {
    if (line.length + cell.length + 2 > 116) { lines.push(line); line = '   ' }
    line += ' ' + cell + ','
  }
  if (line.trim()) lines.push(line)
  return `// ${comment}\nconstexpr CodeRange ${name}[] = {\n${lines.join('\n')}\n};\n`
}

function block () {
  return [
    `${begin} (tests/oracle/make_unicode_tables.js, Unicode ${process.versions.unicode})`,
    table('identifier_start_ranges', 'Lu Ll Lt Lm Lo Nl above ASCII', ranges(start, 0x80)),
    table('identifier_part_ranges', 'Mn Mc Nd Pc above ASCII (letters are checked first)', ranges(part, 0x80)),
    table('space_separator_ranges', 'Zs above ASCII', ranges(space, 0x80)),
    end
  ].join('\n')
}

function replaceIn (text, generated) {
  const a = text.indexOf(begin)
  const b = text.indexOf(end)
  if (a < 0 || b < a) throw new Error(`no generated block in ${source}`)
  return text.slice(0, a) + generated + text.slice(b + end.length)
}

const mode = process.argv[2]
const generated = block()
if (mode === '--write') {
  fs.writeFileSync(source, replaceIn(fs.readFileSync(source, 'utf8'), generated))
} else if (mode === '--check') {
  const text = fs.readFileSync(source, 'utf8')
  if (replaceIn(text, generated) !== text) {
    console.error('the tables in src/json5/json5_reader.cpp differ from this Node\'s Unicode data')
    process.exit(1)
  }
  console.log('tables match')
} else {
  process.stdout.write(generated + '\n')
}
