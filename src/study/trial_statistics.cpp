#include "study/trial_statistics.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <unordered_set>
#include <utility>
#include <vector>

namespace varnock {
namespace {

using Json = nlohmann::ordered_json;

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();

// The data is read the way the page's script reads it, since the page still
// draws its charts from the same points: what it counts as a trial, a
// failed trial or a value has to be what is counted here.

// A number, or NaN for anything else (null, text, true, infinities).
double num(const Json& j) {
  if (!j.is_number()) return NaN;
  const double v = j.get<double>();
  return std::isfinite(v) ? v : NaN;
}

// What JSON text may hold and not be a number (a statistic of no values,
// an overflowing sum) is written as null.
Json number(double v) { return std::isfinite(v) ? Json(v) : Json(nullptr); }

// Number.isInteger: 3.0 is as good an index as 3.
bool whole(const Json& j) {
  const double v = num(j);
  return std::isfinite(v) && std::floor(v) == v;
}

struct Point {
  double index = 0;
  bool ok = true;
  std::vector<double> values;
  const Json* q = nullptr;  // an object, or none
};

// The points as the page has them: anything but an object dropped, in the
// order of their indices, points of one index in the order given.
std::vector<Point> points_of(const Json& data) {
  std::vector<Point> points;
  const auto found = data.find("points");
  if (found == data.end() || !found->is_array()) return points;
  for (const Json& p : *found) {
    if (!p.is_object()) continue;
    Point point;
    point.index = static_cast<double>(points.size());
    if (const auto i = p.find("index"); i != p.end() && whole(*i)) point.index = i->get<double>();
    // Only a missing outcome counts as success: "ok": null is a failure.
    if (const auto ok = p.find("ok"); ok != p.end()) point.ok = ok->is_boolean() && ok->get<bool>();
    if (const auto v = p.find("values"); v != p.end() && v->is_array()) {
      for (const Json& x : *v) point.values.push_back(num(x));
    }
    if (const auto q = p.find("q"); q != p.end() && q->is_object()) point.q = &*q;
    points.push_back(std::move(point));
  }
  std::stable_sort(points.begin(), points.end(), [](const Point& a, const Point& b) { return a.index < b.index; });
  return points;
}

// The quantity at a point, NaN for a failed point or a value that is not a
// number.
double q_of(const Point& p, const std::string& key) {
  if (!p.ok || !p.q) return NaN;
  const auto found = p.q->find(key);
  return found == p.q->end() ? NaN : num(*found);
}

// The quantities the data lists, or else every key the points' quantities
// have, in the order they first come.
std::vector<std::string> quantity_keys(const Json& data, const std::vector<Point>& points) {
  std::vector<std::string> keys;
  std::unordered_set<std::string> seen;
  const auto add = [&](const std::string& key) {
    if (seen.insert(key).second) keys.push_back(key);
  };
  if (const auto q = data.find("quantities"); q != data.end() && q->is_array()) {
    for (const Json& entry : *q) {
      if (!entry.is_object()) continue;
      const auto key = entry.find("key");
      if (key != entry.end() && key->is_string()) add(key->get<std::string>());
    }
  }
  if (!keys.empty()) return keys;
  for (const Point& p : points) {
    if (!p.q) continue;
    for (const auto& [key, value] : p.q->items()) add(key);
  }
  return keys;
}

// Summed in the order given, as the page summed them: the last bits of a
// mean depend on it.
double mean_of(const std::vector<double>& v) {
  double sum = 0;
  for (double x : v) sum += x;
  return sum / static_cast<double>(v.size());
}

// The sample's standard deviation (divided by n - 1), NaN for fewer than two.
double std_of(const std::vector<double>& v, double mean) {
  if (v.size() < 2) return NaN;
  double sum = 0;
  for (double x : v) sum += (x - mean) * (x - mean);
  return std::sqrt(sum / static_cast<double>(v.size() - 1));
}

// Percentile p (0..1) of sorted values, interpolated linearly between the
// neighbouring order statistics (the usual default of spreadsheets).
double percentile(const std::vector<double>& sorted, double p) {
  if (sorted.empty()) return NaN;
  const double h = static_cast<double>(sorted.size() - 1) * p;
  const double lo = std::floor(h);
  const auto i = static_cast<std::size_t>(lo);
  return i + 1 < sorted.size() ? sorted[i] + (h - lo) * (sorted[i + 1] - sorted[i]) : sorted[i];
}

// About the square root of n bins (at least five) over the range of the
// sorted values; a range of one value is widened a little about it so that
// it still has bins.
Json histogram(const std::vector<double>& sorted) {
  const std::size_t n = sorted.size();
  const auto bins = std::max<std::size_t>(5, static_cast<std::size_t>(std::floor(std::sqrt(static_cast<double>(n)) + 0.5)));
  double lo = sorted.front(), hi = sorted.back();
  if (!(hi > lo)) {
    double pad = std::abs(lo) * 1e-3;
    if (pad == 0) pad = 1e-3;
    lo -= pad;
    hi += pad;
  }
  const double width = (hi - lo) / static_cast<double>(bins);
  std::vector<std::int64_t> counts(bins, 0);
  for (double x : sorted) {
    const double b = std::floor((x - lo) / width);
    // A range too wide for a double (or too narrow to divide) gives a value
    // no bin: the page counted those nowhere, and so does this.
    if (std::isnan(b)) continue;
    counts[b <= 0 ? 0 : b >= static_cast<double>(bins - 1) ? bins - 1 : static_cast<std::size_t>(b)]++;
  }
  Json out = Json::object();
  out["bins"] = bins;
  out["lo"] = number(lo);
  out["hi"] = number(hi);
  out["width"] = number(width);
  out["counts"] = counts;
  return out;
}

Json quantity_statistics(std::vector<double> v, double nominal) {
  std::sort(v.begin(), v.end());
  const double mean = v.empty() ? NaN : mean_of(v);
  Json out = Json::object();
  out["n"] = v.size();
  out["nominal"] = number(nominal);
  out["min"] = number(v.empty() ? NaN : v.front());
  out["p5"] = number(percentile(v, 0.05));
  out["p50"] = number(percentile(v, 0.5));
  out["p95"] = number(percentile(v, 0.95));
  out["max"] = number(v.empty() ? NaN : v.back());
  out["mean"] = number(mean);
  out["std"] = number(std_of(v, mean));
  out["histogram"] = v.empty() ? Json(nullptr) : histogram(v);
  return out;
}

Json drawn_statistics(const std::vector<double>& v) {
  Json out = Json::object();
  out["n"] = v.size();
  const double mean = v.empty() ? NaN : mean_of(v);
  out["min"] = number(v.empty() ? NaN : *std::min_element(v.begin(), v.end()));
  out["max"] = number(v.empty() ? NaN : *std::max_element(v.begin(), v.end()));
  out["mean"] = number(mean);
  out["std"] = number(std_of(v, mean));
  return out;
}

// Pearson's r of the pairs, with the reason when there is none, and the
// least-squares line through them (by its centre and slope).
Json pair_statistics(const std::vector<double>& xs, const std::vector<double>& ys) {
  const std::size_t n = xs.size();
  double mx = NaN, my = NaN, sxy = 0, sxx = 0, syy = 0;
  if (n > 0) {
    mx = mean_of(xs);
    my = mean_of(ys);
    for (std::size_t k = 0; k < n; ++k) {
      const double dx = xs[k] - mx, dy = ys[k] - my;
      sxy += dx * dy;
      sxx += dx * dx;
      syy += dy * dy;
    }
  }
  double r = NaN;
  const char* why = "";
  if (n < 3) {
    why = "fewer than three trials with both values";
  } else if (!(sxx > 0)) {
    why = "the cell took one value in every trial";
  } else if (!(syy > 0)) {
    why = "the quantity did not change";
  } else {
    // Rounding can take an exact straight line a hair past 1. (Written out
    // rather than std::clamp, which would turn an overflowing NaN into 1.)
    r = sxy / std::sqrt(sxx * syy);
    if (r > 1) r = 1;
    if (r < -1) r = -1;
  }
  Json out = Json::object();
  out["n"] = n;
  out["r"] = number(r);
  out["why"] = why;
  out["mean_x"] = number(mx);
  out["mean_y"] = number(my);
  out["slope"] = number(n >= 2 && sxx > 0 ? sxy / sxx : NaN);
  return out;
}

}  // namespace

Json trial_statistics(const Json& data) {
  if (!data.is_object()) return nullptr;
  const auto kind = data.find("kind");
  if (kind == data.end() || !kind->is_string() || kind->get<std::string>() != "trials") return nullptr;

  const std::vector<Point> all = points_of(data);
  const Point* nominal = nullptr;
  std::vector<const Point*> trials;
  for (const Point& p : all) {
    if (p.index >= 1) trials.push_back(&p);
    else if (p.index == 0 && !nominal) nominal = &p;
  }
  const std::vector<std::string> keys = quantity_keys(data, all);

  // Each trial's quantities once, in trial order: every cell pairs with them.
  std::vector<std::vector<double>> q(keys.size());
  for (std::size_t i = 0; i < keys.size(); ++i) {
    for (const Point* p : trials) q[i].push_back(q_of(*p, keys[i]));
  }

  Json out = Json::object();
  out["trials"] = trials.size();
  out["trials_ran"] = std::count_if(trials.begin(), trials.end(), [](const Point* p) { return p->ok; });
  Json quantities = Json::object();
  for (std::size_t i = 0; i < keys.size(); ++i) {
    std::vector<double> v;
    for (double x : q[i]) {
      if (std::isfinite(x)) v.push_back(x);
    }
    quantities[keys[i]] = quantity_statistics(std::move(v), nominal ? q_of(*nominal, keys[i]) : NaN);
  }
  out["quantities"] = std::move(quantities);

  Json cells = Json::array();
  const auto parameters = data.find("parameters");
  if (parameters != data.end() && parameters->is_array()) {
    for (std::size_t k = 0; k < parameters->size(); ++k) {
      const Json& c = (*parameters)[k];
      const auto name = c.find("name");  // end() for anything but an object
      // Failed trials drew their values as much as the others did.
      std::vector<double> drawn;
      for (const Point* p : trials) {
        if (k < p->values.size() && std::isfinite(p->values[k])) drawn.push_back(p->values[k]);
      }
      Json against = Json::object();
      for (std::size_t i = 0; i < keys.size(); ++i) {
        std::vector<double> xs, ys;
        for (std::size_t t = 0; t < trials.size(); ++t) {
          const double x = k < trials[t]->values.size() ? trials[t]->values[k] : NaN, y = q[i][t];
          if (std::isfinite(x) && std::isfinite(y)) {
            xs.push_back(x);
            ys.push_back(y);
          }
        }
        against[keys[i]] = pair_statistics(xs, ys);
      }
      Json cell = Json::object();
      cell["name"] = name != c.end() && !name->is_null() ? (name->is_string() ? name->get<std::string>() : name->dump()) : "cell " + std::to_string(k + 1);
      cell["drawn"] = drawn_statistics(drawn);
      cell["against"] = std::move(against);
      cells.push_back(std::move(cell));
    }
  }
  out["cells"] = std::move(cells);
  return out;
}

std::string with_trial_statistics(const std::string& data_json) {
  Json data = Json::parse(data_json, nullptr, false);
  if (data.is_discarded() || !data.is_object() || data.contains("statistics")) return data_json;
  Json statistics = trial_statistics(data);
  if (statistics.is_null()) return data_json;
  data["statistics"] = std::move(statistics);
  return data.dump(-1, ' ', false, Json::error_handler_t::replace);
}

}  // namespace varnock
