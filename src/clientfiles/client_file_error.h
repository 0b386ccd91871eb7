#pragma once

#include <stdexcept>

namespace kestrel {

// A client data file whose contents Kestrel cannot use as they are: a damaged
// UOP table, a compressed map, a map whose size fits two facets. what() names
// the file and says what is wrong with it.
class ClientFileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

}  // namespace kestrel
