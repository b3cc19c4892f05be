// Whether a page carries anything a reader would keep, judged as a person looks at it. Ink is
// what stands out from the page's own paper, by a threshold from the page's histogram (a
// light gray page of text on tinted paper has ink, scanner noise on a sheet has none), and
// what counts is marks, groups of touching ink dots the size of a letter or more, not dots: a
// page with one line of text or a signature is never blank, a sheet with specks is.
#pragma once

#include <cstddef>

#include "tools/kovscan/page_picture.h"

namespace kovscan {

struct PageInk {
  double coverage = 0;  // the share of dots that are ink, 0 to 1
  // Groups of touching ink dots a letter's size or more; on a page crowded with a million
  // runs of ink, those found in the runs before.
  std::size_t marks = 0;
  bool blank = true;
};

// The resolution, in dots per inch, sizes the marks; 0 is taken as 72.
PageInk LookForInk(const GrayImage& image, double xDpi, double yDpi);

}  // namespace kovscan
