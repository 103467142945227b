// escpos_stream.h: a strict reader of the byte streams the plug-in writes,
// and a model of the paper that a printer makes of them.
//
// The stream is a sequence of
//   raster records  GS v 0 0 xL xH yL yH, yL rows of xL + 256 xH bytes,
//                   then ESC J yL at once (the paper moves by the rows
//                   printed: 24 after a full slice)
//   cuts            GS V 66 0
// and nothing else (a StreamModel widens this for other printers and whole
// jobs). Any other byte, a record that claims more rows than a
// slice holds or more bytes than the stream has, a record without its feed,
// or a feed other than the record's rows is reported with its offset.
//
// The paper model: GS v 0 prints its rows from the current paper position
// and does not move the paper by itself; ESC J n moves the paper n dot rows,
// and the paper is as long as it has moved;
// GS V 66 0 cuts at the current position (the printer's own feed to its
// cutter is not drawn).
#ifndef LORVEX_CORE_ESCPOS_STREAM_H
#define LORVEX_CORE_ESCPOS_STREAM_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct StreamItem {
  enum Kind { kRaster, kCut, kInitialize, kDrawerPulse, kFeed } kind;
  size_t offset;             // where the item starts in the stream
  uint32_t rowBytes = 0;     // raster: bytes per row
  uint32_t rows = 0;         // raster: rows in the slice
  uint32_t feed = 0;         // raster: dot rows the feed after it moves;
                             // feed: the rows it moves
  std::vector<uint8_t> bits; // raster: rows x rowBytes, first row first
};

struct DecodedStream {
  bool ok = false;
  std::string error;         // what was wrong, when not ok
  size_t errorOffset = 0;    // where
  std::vector<StreamItem> items;
};

// What else a stream may hold than the plug-in's own records.
struct StreamModel {
  // Each raster record moves the paper by its own rows (printers whose GS v 0
  // advances): records of any height, with or without a feed after them.
  bool rasterAdvances = false;
  // A whole job as a printer application sends it: ESC @, drawer pulses,
  // cuts of every GS V form, also after the last page, and ESC J feeds of
  // their own over white paper.
  bool jobCommands = false;
};

// Reads a stream file whole into `bytes`; false when it cannot be opened or
// read.
bool ReadStreamFile(const char* path, std::vector<uint8_t>* bytes);

// Reads the whole stream; stops at the first thing out of place.
DecodedStream DecodeStream(const uint8_t* data, size_t size, const StreamModel& model = {});

// What the printer makes of the stream: a sheet `width` dots wide (the widest
// row) with a dot where a bit was set, and the rows where it was cut.
struct Paper {
  uint32_t width = 0;
  uint32_t height = 0;
  std::vector<uint8_t> dots;     // width x height, 1 = burnt
  std::vector<uint32_t> cuts;    // paper rows where a cut falls
  std::vector<uint32_t> drawers; // paper rows where a drawer pulse was sent
};

Paper LayOut(const DecodedStream& stream, const StreamModel& model = {});

// The commands a printer description has the platform's driver send around
// the plug-in's raster: ESC @ (initialise), GS V m (cut, m 0/48 full, 1/49
// partial), GS V m n (m 65 full, 66 partial: feed to the cutter plus n, then
// cut) and ESC p m t1 t2 (drawer kick, m 0/48 pin 2, 1/49 pin 5, on t1 x 2 ms,
// off t2 x 2 ms).
struct DeviceCommand {
  enum Kind { kInitialize, kCut, kDrawerPulse } kind;
  size_t offset;
  bool fullCut = false;     // cut: through the paper (else a hinge is left)
  bool feedsFirst = false;  // cut: feeds the last printed row to the cutter
  uint32_t feedExtra = 0;   // cut: the n of GS V 65/66 n
  int pin = 0;              // drawer: 2 or 5
  uint32_t onMs = 0, offMs = 0;
};

struct DecodedCommands {
  bool ok = false;
  std::string error;
  size_t errorOffset = 0;
  std::vector<DeviceCommand> commands;
};

// Reads a sequence of those commands; stops at the first other byte.
DecodedCommands DecodeDeviceCommands(const uint8_t* data, size_t size);

#endif  // LORVEX_CORE_ESCPOS_STREAM_H
