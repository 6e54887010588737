#pragma once
// The number of workers the archive tests run every extraction with: the test program's option
// --extract-workers=N (CTest runs the whole suite with 1, 2 and 8), by default one per core.

#include "archive/zip_implement.h"

namespace tolbe_test {

// N from --extract-workers=N, or 0 (one per core) without it.
unsigned ExtractionWorkers();

// An extractor that runs with ExtractionWorkers() workers.
class Extractor : public CZipImplement {
public:
    Extractor() { SetWorkerCount(ExtractionWorkers()); }
};

}  // namespace tolbe_test
