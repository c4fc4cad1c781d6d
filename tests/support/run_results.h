// The results of a successful run in the engine's own form: the totals
// and the grids, as the report writes them.
#pragma once

#include "model/model.h"
#include "varnock/varnock.h"

namespace varnock_test {

inline varnock::Results results_of(const varnock::RunSuccess& run) {
  varnock::Results res;
  res.TOTAL = run.totals.total;
  res.TRANS = run.totals.transmitted;
  res.RATIO = run.totals.ratio;
  res.IXY = run.maps.IXY;
  res.IUV = run.maps.IUV;
  res.IUV_P = run.maps.IUV_P;
  res.IXY_rays = run.maps.IXY_rays;
  res.IUV_rays = run.maps.IUV_rays;
  res.IUV_P_rays = run.maps.IUV_P_rays;
  return res;
}

}  // namespace varnock_test
