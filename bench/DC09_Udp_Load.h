#pragma once

#include <string>
#include <vector>

// The UDP side of the load tool: `senders` sockets, each sending one frame as a datagram to
// 127.0.0.1:port and waiting for the reply before its next one, `messages` frames in all, taken
// in turn from `frames`. A reply that does not come within timeout_ms counts as lost and the
// sender goes on.
struct Udp_Load_Figures
{
    double throughput = 0; // acknowledged messages per second
    double p50_ms = 0, p99_ms = 0;
    long acked = 0, other = 0, lost = 0;
};

// The value below which `share` of the latencies lie (0 for none); reorders `values`.
double Percentile_Ms(std::vector<double>& values, double share);

bool Run_Udp_Load(int port, const std::vector<std::string>& frames, int senders, long messages,
    int timeout_ms, Udp_Load_Figures& figures);
