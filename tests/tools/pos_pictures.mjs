// Receipts a point-of-sale program would send, made with a real encoder
// (receipt-printer-encoder from npm), for the renderer's pictures to be read
// back by machine: a 48-column text receipt, and every barcode symbology
// with a QR code. Prints each barcode's data on a line of its own, as
// "SYMBOLOGY:DATA" (zbarimg's names), for the test to compare.
//   node pos_pictures.mjs NODE_MODULES OUT_DIR
import { createRequire } from 'module';
import { writeFileSync } from 'fs';

const require = createRequire(process.argv[2] + '/');
const ReceiptPrinterEncoder = require('@point-of-sale/receipt-printer-encoder');
const out = process.argv[3];
const encoder = () => new ReceiptPrinterEncoder({ language: 'esc-pos', columns: 48 });

const text = encoder().initialize()
  .align('center').size(2, 2).line('CORNER CAFE').size(1, 1)
  .line('12 Market Street').align('left')
  .line('='.repeat(48))
  .table([{ width: 36 }, { width: 12, align: 'right' }],
    [['Espresso', '2.50'], ['Cappuccino large', '3.80'], ['Lemon cake', '3.20'], ['Sparkling water', '1.90']])
  .line('-'.repeat(48))
  .bold(true).table([{ width: 36 }, { width: 12, align: 'right' }], [['TOTAL', '11.40']]).bold(false)
  .newline()
  .line('Thank you for your visit')
  .cut('partial')
  .encode();
writeFileSync(out + '/text.bin', text);

const codes = [
  ['upca', '012345678905', 'UPC-A'],
  ['upce', '01234565', 'UPC-E'],
  ['ean13', '4012345678901', 'EAN-13'],
  ['ean8', '40123455', 'EAN-8'],
  ['code39', 'LORVEX 42', 'CODE-39'],
  ['itf', '12345678', 'I2/5'],
  ['codabar', 'A40156B', 'Codabar'],
  ['code93', 'RECEIPT93', 'CODE-93'],
  ['code128', 'Lorvex-128', 'CODE-128'],
];
let e = encoder().initialize();
for (const [symbology, data] of codes) e = e.barcode(data, symbology, { height: 80, width: 2, text: 'below' }).newline();
e = e.qrcode('https://example.com/receipt/42', 2, 5, 'm').cut();
writeFileSync(out + '/codes.bin', e.encode());
for (const [, data, name] of codes) console.log(`${name}:${data}`);
console.log('QR-Code:https://example.com/receipt/42');
