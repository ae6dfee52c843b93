// What the library throws when memory runs out.
#pragma once

#include <new>

namespace zav {

// A std::bad_alloc that names itself as the C runtime names an allocation failure ("bad
// allocation"), so that a failed allocation reads the same in the log whichever runtime's
// operator new, malloc hook or copy of the library met it.
class BadAllocation : public std::bad_alloc {
public:
    const char* what() const noexcept override { return "bad allocation"; }
};

} // namespace zav
