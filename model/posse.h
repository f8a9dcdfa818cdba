#pragma once

// Queries hand over lists of entities created with new; the caller owns them.

#include <memory>
#include <vector>

// The entities of a returned list, owned from the moment they arrive.
template <typename T>
std::vector<std::unique_ptr<T>> tomarPosse(std::vector<T *> lista)
{
    std::vector<std::unique_ptr<T>> posse;
    posse.reserve(lista.size());
    for (T *item : lista)
        posse.emplace_back(item);
    return posse;
}
