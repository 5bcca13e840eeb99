#pragma once
// The steps that add to a database what it has beside the designed tables
// (the kept versions' tables, the accounts' tables, the index of names),
// numbered in the order a database gets them; their statements are in
// SchemaText.h. Whether the open database has a step's part, and taking a
// step inside the caller's WriteTransaction. SchemaUpgrade takes the steps
// an older database lacks.
#include <QString>

#include <optional>

namespace brenvoll {

class SchemaSteps
{
public:
    // The steps that others name.
    static constexpr int kVersions = 0;
    static constexpr int kAccounts = 1;

    static int count();
    // Whether a database works on without the step (it only speeds up reads).
    static bool optional(int step);
    // Whether the open database has what `step` adds; nothing when the
    // catalog could not be read (`error` says why).
    static std::optional<bool> present(int step, QString* error = nullptr);
    // Runs the statements of `step` inside the open WriteTransaction, or
    // without one in a transaction of their own: all of them or, with a
    // reason, none.
    static bool apply(int step, QString* error = nullptr);
};

} // namespace brenvoll
