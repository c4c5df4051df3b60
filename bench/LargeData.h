#pragma once

#include "base/Result.h"

#include <QString>

// A large database for the benchmarks: realistic texts, many customers and articles, and order
// lines over many years.
namespace largedata {

struct Sizes {
    int customers = 100000;
    int articles = 50000;
    int years = 20;
    int linesPerYear = 50000;
    int lastYear = 2026;
};

// The year holding the benchmark's special orders: number 1 has 1000 lines, number 2 has 200.
inline constexpr int kSpecialOrders = 2;

Status make(const QString& path, const Sizes& sizes);

} // namespace largedata
