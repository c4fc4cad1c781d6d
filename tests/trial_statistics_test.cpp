// The statistics a trials page shows, worked out from the study's data: on
// a small study whose answers are known by hand, and on damaged data, which
// must be passed over as the page passes over it.
#include "study/trial_statistics.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace varnock {
namespace {

using Json = nlohmann::ordered_json;

// Trials 1-5 draw a = 1..5, with e = 19 - 3a and h = 1.1a + 0.1 (rounded as
// doubles, which takes r a hair past 1); g never changes, nor does the cell
// "flat". Trial 6 failed. The nominal point has no index and comes after
// two points that are not objects, so it is point 0 only if those are
// dropped; a second index 0 later on is not the nominal.
const char* const STUDY = R"({"kind": "trials",
  "parameters": [{"name": "a"}, {"cell": "B2"}, {"name": "flat"}],
  "quantities": [{"key": "e"}, {"key": "g"}, {"key": "h"}, "junk", {"key": 5}],
  "points": ["junk", 42,
    {"values": [1.5, 0, 7], "q": {"e": 50, "g": 3, "h": 0, "unlisted": 1}},
    {"index": 1, "ok": true, "values": [1, 5, 7], "q": {"e": 16, "g": 3, "h": 1.2000000000000002}},
    {"index": 2, "ok": true, "values": [2, null, 7], "q": {"e": 13, "g": 3, "h": 2.3000000000000003}},
    {"index": 3, "ok": true, "values": [3, "x", 7], "q": {"e": 10, "g": 3, "h": 3.4000000000000004}},
    {"index": 4, "ok": true, "values": [4, 9, 7], "q": {"e": 7, "g": 3, "h": 4.5}},
    {"index": 5, "values": [5, null, 7], "q": {"e": 4, "g": 3, "h": 5.6}},
    {"index": 6, "ok": false, "values": [100, 1, 7], "q": {"e": 999, "g": 999, "h": 999}},
    {"index": 0, "q": {"e": -1}}]})";

TEST(TrialStatistics, QuantitiesOverTheTrialsThatRan) {
  const Json s = trial_statistics(Json::parse(STUDY));
  EXPECT_EQ(s["trials"], 6);
  EXPECT_EQ(s["trials_ran"], 5);
  ASSERT_EQ(s["quantities"].size(), 3u);  // the listed keys only
  const Json& e = s["quantities"]["e"];
  EXPECT_EQ(e["n"], 5);
  EXPECT_EQ(e["nominal"], 50);
  EXPECT_EQ(e["min"], 4);
  EXPECT_DOUBLE_EQ(e["p5"].get<double>(), 4.6);  // between the 1st and 2nd of 4, 7, 10, 13, 16
  EXPECT_EQ(e["p50"], 10);
  EXPECT_DOUBLE_EQ(e["p95"].get<double>(), 15.4);
  EXPECT_EQ(e["max"], 16);
  EXPECT_EQ(e["mean"], 10);
  EXPECT_DOUBLE_EQ(e["std"].get<double>(), std::sqrt(22.5));  // the sample's, not sqrt(18)
  EXPECT_EQ(e["histogram"]["bins"], 5);
  EXPECT_EQ(e["histogram"]["width"], 2.4);
  EXPECT_EQ(e["histogram"]["counts"], Json::parse("[1, 1, 1, 1, 1]"));  // the largest in the last bin
  // Five equal values: a range padded about them, every value in the middle.
  const Json& g = s["quantities"]["g"]["histogram"];
  EXPECT_DOUBLE_EQ(g["lo"].get<double>(), 2.997);
  EXPECT_DOUBLE_EQ(g["hi"].get<double>(), 3.003);
  EXPECT_EQ(g["counts"], Json::parse("[0, 0, 5, 0, 0]"));
  EXPECT_EQ(s["quantities"]["g"]["std"], 0);
}

TEST(TrialStatistics, CellsDrawnAndCorrelated) {
  const Json s = trial_statistics(Json::parse(STUDY));
  const Json& cells = s["cells"];
  ASSERT_EQ(cells.size(), 3u);
  EXPECT_EQ(cells[1]["name"], "cell 2");
  // Drawn values count the failed trial too.
  EXPECT_EQ(cells[0]["drawn"], Json::parse(R"({"n": 6, "min": 1, "max": 100, "mean": 19.166666666666668,
                                                "std": 39.62532860010963})"));
  EXPECT_EQ(cells[1]["drawn"]["n"], 3);
  EXPECT_EQ(cells[1]["drawn"]["std"], 4);
  const Json& ae = cells[0]["against"]["e"];
  EXPECT_EQ(ae["n"], 5);
  EXPECT_EQ(ae["r"], -1);
  EXPECT_EQ(ae["why"], "");
  EXPECT_EQ(ae["mean_x"], 3);
  EXPECT_EQ(ae["mean_y"], 10);
  EXPECT_EQ(ae["slope"], -3);
  EXPECT_EQ(cells[0]["against"]["h"]["r"].get<double>(), 1.0);  // 1.0000000000000002 unclamped
  EXPECT_EQ(cells[0]["against"]["g"]["r"], nullptr);
  EXPECT_EQ(cells[0]["against"]["g"]["why"], "the quantity did not change");
  EXPECT_EQ(cells[2]["against"]["e"]["why"], "the cell took one value in every trial");
  EXPECT_EQ(cells[2]["against"]["e"]["slope"], nullptr);
  // Two pairs: no r, but a line through them.
  const Json& two = cells[1]["against"]["e"];
  EXPECT_EQ(two["n"], 2);
  EXPECT_EQ(two["r"], nullptr);
  EXPECT_EQ(two["why"], "fewer than three trials with both values");
  EXPECT_EQ(two["slope"], -2.25);
}

TEST(TrialStatistics, DamagedDataIsPassedOver) {
  EXPECT_TRUE(trial_statistics(Json::parse("[1, 2]")).is_null());
  EXPECT_TRUE(trial_statistics(Json::parse(R"({"kind": "sweep", "points": []})")).is_null());
  EXPECT_EQ(trial_statistics(Json::parse(R"({"kind": "trials", "points": {"index": 1}})")),
            Json::parse(R"({"trials": 0, "trials_ran": 0, "quantities": {}, "cells": []})"));
  // No usable quantities list: the keys come from the points. A fractional
  // index is no index (point 0, and failed by its "ok").
  const Json s = trial_statistics(Json::parse(R"({"kind": "trials", "parameters": "none", "quantities": [1, null],
    "points": ["x", null, {"index": 1.5, "ok": "yes", "values": ["1"], "q": {"e": 7, "f": 2}},
                         {"index": 2, "values": {"a": 1}, "q": "none"}, {"index": 3, "q": {"e": true, "f": 4, "z": 0}}]})"));
  EXPECT_EQ(s["trials"], 2);
  EXPECT_EQ(s["cells"], Json::array());
  ASSERT_EQ(s["quantities"].size(), 3u);
  EXPECT_EQ(s["quantities"]["e"], Json::parse(R"({"n": 0, "nominal": null, "min": null, "p5": null, "p50": null,
    "p95": null, "max": null, "mean": null, "std": null, "histogram": null})"));
  EXPECT_EQ(s["quantities"]["f"]["p95"], 4);
  EXPECT_EQ(s["quantities"]["f"]["std"], nullptr);
  // A single 0 pads by a fixed amount, there being no size to take a share of.
  EXPECT_EQ(s["quantities"]["z"]["histogram"]["lo"], -1e-3);
  EXPECT_EQ(s["quantities"]["z"]["histogram"]["counts"], Json::parse("[0, 0, 1, 0, 0]"));
}

TEST(TrialStatistics, AddedToTrialsDataTextOnly) {
  for (const std::string text : {"{not json", "[1]", R"({"kind": "sweep"})", R"({"kind": "trials", "statistics": 1})"}) {
    EXPECT_EQ(with_trial_statistics(text), text);
  }
  const Json added = Json::parse(with_trial_statistics(STUDY));
  EXPECT_EQ(added["statistics"], trial_statistics(Json::parse(STUDY)));
  EXPECT_EQ(added["points"], Json::parse(STUDY)["points"]);
}

}  // namespace
}  // namespace varnock
