#pragma once
#include <QString>

namespace brenvoll::bench {

// The database the benchmarks run on: the one named as the first argument, or
// build/bench-data/big.db with a million records, generated on first use.
// Empty when it could not be generated.
QString benchDatabase(int argc, char** argv);

} // namespace brenvoll::bench
