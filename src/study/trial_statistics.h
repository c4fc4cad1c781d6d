// The statistics of a trials study's report page (trials.html): for every
// quantity its spread over the trials (percentiles, mean, standard
// deviation, a histogram), and for every jittered cell its drawn values and
// how each quantity follows it (Pearson's r and the least-squares line).
// They are worked out here, once, and embedded with the study's data, so
// that the page's script only draws and formats them and the numbers on the
// page are the ones the C++ computed.
#pragma once

#include <nlohmann/json.hpp>
#include <string>

namespace varnock {

// The statistics of the study data object `data` (what study_page() is
// given), read as the page reads it: points that are not objects, values
// that are not numbers and fields missing or of another type are passed
// over, never thrown on. JSON null when data is not an object of kind
// "trials". The object:
//   { "trials": N, "trials_ran": N,
//     "quantities": { KEY: { "n", "nominal", "min", "p5", "p50", "p95", "max",
//                            "mean", "std",
//                            "histogram": { "bins", "lo", "hi", "width", "counts" } } },
//     "cells": [ { "name",
//                  "drawn": { "n", "min", "max", "mean", "std" },
//                  "against": { KEY: { "n", "r", "why", "mean_x", "mean_y", "slope" } } } ] }
// with null for every number that does not exist (no values, one value for
// a standard deviation, a histogram of no values, ...). "why" says why r is
// null, and is empty when it is not.
nlohmann::ordered_json trial_statistics(const nlohmann::ordered_json& data);

// data_json with the "statistics" member added, for the text of a trials
// study's data object that has none; the text as it is in every other case
// (not JSON, not an object, another kind, statistics already there).
std::string with_trial_statistics(const std::string& data_json);

}  // namespace varnock
