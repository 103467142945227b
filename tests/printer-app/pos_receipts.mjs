// Receipts as point-of-sale software writes them, made with a real encoder
// (receipt-printer-encoder from npm): text styles and sizes, a table, code
// pages, EAN-13 and CODE128 barcodes, a QR code, a logo as a raster image
// or in columns, the drawer pulse and a partial cut.
//   node pos_receipts.mjs NODE_MODULES OUT_DIR
import { createRequire } from 'module';
import { writeFileSync } from 'fs';

const require = createRequire(process.argv[2] + '/');
const ReceiptPrinterEncoder = require('@point-of-sale/receipt-printer-encoder');
const out = process.argv[3];

// A 64 x 64 logo: a black square in a white one, with a diagonal.
const logo = { width: 64, height: 64, data: new Uint8ClampedArray(64 * 64 * 4) };
for (let y = 0; y < 64; y++) {
  for (let x = 0; x < 64; x++) {
    const ink = (x > 8 && x < 56 && y > 8 && y < 56) || x === y;
    logo.data.set(ink ? [0, 0, 0, 255] : [255, 255, 255, 255], (y * 64 + x) * 4);
  }
}

function receipt(imageMode) {
  const e = new ReceiptPrinterEncoder({ language: 'esc-pos', columns: 48, imageMode });
  return e.initialize()
    .codepage('cp850').line('Café Müller, Straße 12')
    .codepage('cp866').line('Кофе и чай')
    .codepage('cp858').line('Total 12,50 €')
    .codepage('cp437')
    .bold(true).line('BOLD LINE').bold(false)
    .underline(true).line('underlined').underline(false)
    .invert(true).line('reversed').invert(false)
    .size(2, 2).line('BIG').size(1, 1)
    .align('center').line('centred').align('right').line('right').align('left')
    .table([{ width: 32 }, { width: 16, align: 'right' }], [['Espresso', '2.50'], ['Cake', '3.00']])
    .barcode('4012345678901', 'ean13', 60).newline()
    .barcode('LORVEX-128', 'code128', 60).newline()
    .qrcode('https://example.com/r/42', 1, 6, 'm')
    .image(logo, 64, 64, 'threshold')
    .pulse().cut('partial')
    .encode();
}

writeFileSync(out + '/pos-raster.bin', receipt('raster'));
writeFileSync(out + '/pos-column.bin', receipt('column'));
