#pragma once
// The benchmark table as usual, keeping the processor time of a frame of each run so a program can
// print its ratios against the references measured in the same run.
#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

class Recorder : public benchmark::ConsoleReporter {
public:
    // Processor time of a frame, by benchmark name: on a busy machine the wall clock counts the
    // other programs too.
    std::map<std::string, double> seconds;

    void ReportRuns(const std::vector<Run> &runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run &r : runs)
            if (r.run_type == Run::RT_Iteration && r.iterations > 0 && !r.error_occurred)
                seconds[r.benchmark_name()] = r.cpu_accumulated_time / (double)r.iterations;
    }

    // The time of one named run, 0 when it did not run.
    double at(const char *name) const
    {
        auto i = seconds.find(name);
        return i == seconds.end() ? 0.0 : i->second;
    }
};
