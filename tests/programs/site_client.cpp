// A File Manager client library as a site has one: it exports QRSEND and
// nothing of the stand-in's own. It answers every request with the status
// "NC" (no connection), so that a run through it ends at its first request.
#include "qrlnt/qrlnt.h"

extern "C" __attribute__((visibility("default"))) uint32_t QRSEND(QRL_CPRB* /*cprb*/,
                                                                  uint32_t /*zero*/) {
  return QrlCode('N', 'C');
}
