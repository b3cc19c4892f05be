# Compares two barcode tables of barcode_pages (tests/barcodes): the Linux build's, then the
# DLL's. Each line of one must be the same line of the other: file, kind and text alike, the
# box near. A 2-D code's corners are found alike: every edge within `tolerance` dots. A
# linear code is placed by the scan lines a reader decoded it on, which differ between
# readers: its centre along its bars' run within `tolerance`, the boxes overlapping across.
# Prints each difference; exit status 1 when there is one.
# Usage: awk -v tolerance=DOTS -f compare_barcode_tables.awk LINUX_TABLE DLL_TABLE
BEGIN { FS = "\t" }

function abs(x) { return x < 0 ? -x : x }

# a and b: left top right bottom.
function near(kind, a, b,   along, across) {
  if (kind ~ /^(QRCode|DataMatrix|Aztec|PDF417)$/) {
    return abs(a[1] - b[1]) <= tolerance && abs(a[2] - b[2]) <= tolerance &&
           abs(a[3] - b[3]) <= tolerance && abs(a[4] - b[4]) <= tolerance
  }
  # Along x when the code is wider than high, else along y.
  along = a[3] - a[1] >= a[4] - a[2] ? 1 : 2
  across = 3 - along
  return abs((a[along] + a[along + 2]) - (b[along] + b[along + 2])) <= 2 * tolerance &&
         (a[across] > b[across] ? a[across] : b[across]) <= \
         (a[across + 2] < b[across + 2] ? a[across + 2] : b[across + 2])
}

function differ(what) {
  print what
  failed = 1
}

FILENAME == ARGV[1] { linux[++lines] = $0; next }

{
  ++line
  if (line > lines) { differ("only the DLL's: " $0); next }
  split(linux[line], theirs, FS)
  if ($1 != theirs[1] || $2 != theirs[2] || $4 != theirs[4]) {
    differ("Linux's: " linux[line] "\nDLL's:   " $0)
    next
  }
  if ($2 == "none") next
  split(theirs[3], a, " ")
  split($3, b, " ")
  if (!near($2, a, b)) differ("not at the same place: Linux's " theirs[3] ", DLL's " $3 " (" $1 " " $4 ")")
}

END {
  for (++line; line <= lines; ++line) differ("only Linux's: " linux[line])
  exit failed
}
