#pragma once
// W7: the drawings' texts searched through the index on the PC (textworkloads.cpp).
#include <memory>
#include <string>

#include "workloads.h"

std::unique_ptr<Workload> MakeTextWorkload(const std::string& key);
