// The peer: a JavaScript G-code parser reading the whole program at once.
const { parseFileSync } = require('gcode-parser');
const lines = parseFileSync(process.argv[2]);
console.log(lines.length);
