// The one exceptional failure of the link: the copier did not answer within
// 500 ms. Raised only by the byte layer, caught only at the outer edge of a
// copier operation (and by DetectCartridge). Deliberately not derived from
// std::exception so that no generic handler swallows it.
#pragma once

namespace ql {

struct LinkTimeout {};

}  // namespace ql
