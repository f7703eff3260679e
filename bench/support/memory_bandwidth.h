// The machine's memory read bandwidth, measured in the benchmark's own run
// so that throughput figures can be read against it.
#pragma once

// Bytes per second: the best of several passes summing a 1 GiB buffer.
double measure_read_bandwidth();

// Measures the bandwidth and adds it to the benchmark's context as
// "memory_read_bandwidth_GB/s"; returns it in bytes per second.
double report_read_bandwidth();
