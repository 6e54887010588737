#pragma once
// Runs a program to its end with the given standard input and collects what it wrote.

#include <string>
#include <vector>

namespace tolbe_test {

struct ProcessResult {
    int exitStatus = -1;  // -1 when it did not exit normally
    std::string out;
    std::string err;
    long peakMemoryKiB = 0;  // the most resident memory the program held at any moment
};

ProcessResult RunProcess(const std::vector<std::string>& argv, const std::string& input = "");

}  // namespace tolbe_test
