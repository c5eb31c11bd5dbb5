// The player's test picture: a 640x480 IFF ILBM of 256 colours with one colour cycle.
// The top half is eight still stripes in colours 1..8; the bottom half is a band of
// colours 32..95 in vertical stripes, cycled at 30 steps a second. The cycle's flags are
// 1 (active) unless given: the scenes of the colour-cycling web players carry 0 or 2.

const width = 640, height = 480;

function colourOf(index) {
  if (index >= 1 && index <= 8) {
    // Still colours: distinct, none black.
    return [[255, 0, 0], [0, 255, 0], [0, 0, 255], [255, 255, 0], [0, 255, 255],
            [255, 0, 255], [255, 255, 255], [255, 128, 0]][index - 1];
  }
  if (index >= 32 && index <= 95) {
    const t = (index - 32) / 63;
    return [Math.round(255 * t), Math.round(64 + 128 * (1 - t)), Math.round(255 * (1 - t))];
  }
  return [0, 0, 0];
}

function indexAt(x, y) {
  if (y < height / 2) return 1 + Math.floor(x / 80);
  return 32 + (Math.floor(x / 10) % 64);
}

function chunk(type, body) {
  const header = Buffer.alloc(8);
  header.write(type, 0, 'latin1');
  header.writeUInt32BE(body.length, 4);
  const pad = body.length % 2 ? Buffer.alloc(1) : Buffer.alloc(0);
  return Buffer.concat([header, body, pad]);
}

export function playerPicture(flags = 1, name = 'cycle-test.iff') {
  const bmhd = Buffer.alloc(20);
  bmhd.writeUInt16BE(width, 0);
  bmhd.writeUInt16BE(height, 2);
  bmhd[8] = 8;        // planes
  bmhd[9] = 0;        // no mask
  bmhd[10] = 0;       // no compression
  bmhd[14] = 1;       // pixel aspect 1:1
  bmhd[15] = 1;
  bmhd.writeUInt16BE(width, 16);
  bmhd.writeUInt16BE(height, 18);

  const cmap = Buffer.alloc(256 * 3);
  for (let i = 0; i < 256; ++i) cmap.set(colourOf(i), i * 3);

  // CRNG: padding, rate (16384 is 60 steps a second), flags (1: active), low, high.
  const crng = Buffer.alloc(8);
  crng.writeUInt16BE(8192, 2);
  crng.writeUInt16BE(flags, 4);
  crng[6] = 32;
  crng[7] = 95;

  // Interleaved bit planes: for each row, plane 0's 80 bytes, then plane 1's, ...
  const rowBytes = width / 8;
  const body = Buffer.alloc(rowBytes * 8 * height);
  for (let y = 0; y < height; ++y) {
    for (let x = 0; x < width; ++x) {
      const index = indexAt(x, y);
      for (let plane = 0; plane < 8; ++plane) {
        if (index & (1 << plane)) body[(y * 8 + plane) * rowBytes + (x >> 3)] |= 0x80 >> (x & 7);
      }
    }
  }

  const form = Buffer.concat([Buffer.from('ILBM', 'latin1'), chunk('BMHD', bmhd),
                              chunk('CMAP', cmap), chunk('CRNG', crng), chunk('BODY', body)]);
  const bytes = chunk('FORM', form);

  // Points of the still half with their colours, and the cycled band.
  const still = [];
  for (let stripe = 0; stripe < 8; ++stripe) {
    const x = stripe * 80 + 40, y = 120;
    still.push([x, y, colourOf(indexAt(x, y))]);
  }
  return {name, bytes, still, cycled: {x1: 0, y1: 240, x2: 639, y2: 479}};
}
