// The SheetJS peer of the .xlsx benchmark: writes a tab-separated grid as an .xlsx with
// XLSX.writeFile, fields turned into cells as bench/xlwt_baseline.py turns them: a field that reads
// as a number once thousands commas are dropped is a number (format "#,##0.00" when it had a
// decimal point, "0" otherwise), every other field is text.
//
// usage: node grid_to_xlsx.js SOURCE.tsv TARGET.xlsx
const fs = require('fs');
const XLSX = require('xlsx');

const [source, target] = process.argv.slice(2);
const sheet = {};
let rows = 0, cols = 0;
const text = fs.readFileSync(source, 'utf8');
let start = 0;
while (start < text.length) {
  let end = text.indexOf('\n', start);
  if (end < 0) end = text.length;
  const fields = text.slice(start, end).replace(/\r$/, '').split('\t');
  for (let c = 0; c < fields.length; ++c) {
    const field = fields[c];
    const number = field.trim() === '' ? NaN : Number(field.replace(/,/g, ''));
    const ref = XLSX.utils.encode_cell({r: rows, c});
    if (Number.isNaN(number)) sheet[ref] = {t: 's', v: field};
    else sheet[ref] = {t: 'n', v: number, z: field.includes('.') ? '#,##0.00' : '0'};
  }
  cols = Math.max(cols, fields.length);
  ++rows;
  start = end + 1;
}
sheet['!ref'] = XLSX.utils.encode_range({s: {r: 0, c: 0}, e: {r: Math.max(rows - 1, 0), c: Math.max(cols - 1, 0)}});
const book = XLSX.utils.book_new();
XLSX.utils.book_append_sheet(book, sheet, 'Sheet1');
XLSX.writeFile(book, target);
