#pragma once
// The everyday workloads, each run through the functions the program's commands use,
// with the floor that the same statements cost when isql-fb runs them.
#include <memory>
#include <string>
#include <vector>

class Workload {
public:
    virtual ~Workload() = default;
    // Makes the database and files for the size; not timed. False on failure.
    virtual bool Prepare(int size) = 0;
    // One timed run of the program's work; seconds, negative on failure. What must be
    // undone between runs is undone here, outside the timed part.
    virtual double RunProgram() = 0;
    // One timed run of the floor; seconds, negative on failure.
    virtual double RunFloor() = 0;
    // One timed run of the physical floor: the fewest statements that give the same
    // result, run by isql-fb; seconds, negative on failure, kSameAsFloor where the
    // program's own statements are already the fewest.
    static constexpr double kSameAsFloor = -2;
    virtual double RunPhysicalFloor() { return kSameAsFloor; }
    // After a program run: whether it did all its work (counts of rows, lines, icons).
    virtual bool Check(std::string& why) = 0;
    // A second measure of the last program run that the report states beside the time
    // (seconds the background work took after it, a throughput); negative: none.
    virtual double Extra() const { return -1; }
};

struct WorkloadInfo {
    std::string key;     // "W1" ...
    std::string title;
    std::vector<int> sizes;
    bool quick = true;   // run by --quick (at its smallest size)
};

const std::vector<WorkloadInfo>& Workloads();
std::unique_ptr<Workload> MakeWorkload(const std::string& key);
