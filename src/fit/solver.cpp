#include "fit/solver.h"

#include <gsl/gsl_errno.h>
#include <gsl/gsl_matrix.h>
#include <gsl/gsl_multifit_nlinear.h>
#include <gsl/gsl_vector.h>

#include <exception>
#include <new>

namespace tarvex {
namespace {

struct GslHandlerOff {
  gsl_error_handler_t* old = gsl_set_error_handler_off();
  ~GslHandlerOff() { gsl_set_error_handler(old); }
  GslHandlerOff() = default;
  GslHandlerOff(const GslHandlerOff&) = delete;
  GslHandlerOff& operator=(const GslHandlerOff&) = delete;
};

template <class T, void (*Free)(T*)>
struct Owned {
  T* p;
  explicit Owned(T* q) : p(q) {}
  ~Owned() {
    if (p) Free(p);
  }
  Owned(const Owned&) = delete;
  Owned& operator=(const Owned&) = delete;
};

std::vector<double> toVector(const gsl_vector* v) {
  std::vector<double> out(v->size);
  for (std::size_t j = 0; j < v->size; ++j)
    out[j] = gsl_vector_get(v, j);
  return out;
}

struct Call {
  const LeastSquaresProblem& problem;
  const std::function<void(int, const std::vector<double>&)>& onIteration;
  std::vector<double> u, r;
  std::exception_ptr error;

  static int f(const gsl_vector* u, void* self, gsl_vector* out) {
    Call& c = *static_cast<Call*>(self);
    try {
      c.u.resize(u->size);
      for (std::size_t j = 0; j < u->size; ++j)
        c.u[j] = gsl_vector_get(u, j);
      c.r.assign(out->size, 0.0);
      c.problem.f(c.u, c.r);
      for (std::size_t i = 0; i < out->size; ++i)
        gsl_vector_set(out, i, c.r[i]);
      return GSL_SUCCESS;
    } catch (...) {
      c.error = std::current_exception();
      return GSL_EBADFUNC;
    }
  }

  static void progress(const std::size_t iteration, void* self,
                       const gsl_multifit_nlinear_workspace* w) {
    Call& c = *static_cast<Call*>(self);
    if (!c.onIteration || c.error) return;
    try {
      c.onIteration(static_cast<int>(iteration), toVector(gsl_multifit_nlinear_position(w)));
    } catch (...) {
      c.error = std::current_exception();
    }
  }
};

}  // namespace

SolverResult solveLeastSquares(
    const LeastSquaresProblem& problem, const std::vector<double>& u0, const SolverOptions& options,
    const std::function<void(int iteration, const std::vector<double>& u)>& onIteration) {
  const std::size_t n = problem.residuals, p = u0.size();
  GslHandlerOff handler;
  gsl_multifit_nlinear_parameters params = gsl_multifit_nlinear_default_parameters();
  params.trs = gsl_multifit_nlinear_trs_lm;
  params.h_df = options.differenceStep;
  Owned<gsl_multifit_nlinear_workspace, gsl_multifit_nlinear_free> w{
      gsl_multifit_nlinear_alloc(gsl_multifit_nlinear_trust, &params, n, p)};
  Owned<gsl_vector, gsl_vector_free> start{gsl_vector_alloc(p)};
  if (!w.p || !start.p) throw std::bad_alloc();
  for (std::size_t j = 0; j < p; ++j)
    gsl_vector_set(start.p, j, u0[j]);
  Call call{problem, onIteration, {}, {}, nullptr};
  gsl_multifit_nlinear_fdf fdf{};
  fdf.f = &Call::f;
  fdf.df = nullptr;
  fdf.fvv = nullptr;
  fdf.n = n;
  fdf.p = p;
  fdf.params = &call;
  int status = gsl_multifit_nlinear_init(start.p, &fdf, w.p);
  int info = 0;
  if (status == GSL_SUCCESS) {
    status =
        gsl_multifit_nlinear_driver(static_cast<std::size_t>(options.maxIterations), options.xtol,
                                    options.gtol, options.ftol, &Call::progress, &call, &info, w.p);
  }
  if (call.error) std::rethrow_exception(call.error);
  SolverResult r;
  r.iterations = static_cast<int>(gsl_multifit_nlinear_niter(w.p));
  r.u = toVector(gsl_multifit_nlinear_position(w.p));
  if (status == GSL_SUCCESS) {
    r.end = SolverEnd::converged;
  } else if (status == GSL_ENOPROG) {
    r.end = SolverEnd::noProgress;
  } else if (status == GSL_EMAXITER) {
    r.end = SolverEnd::maxIterations;
  } else {
    r.end = SolverEnd::failed;
    r.message = gsl_strerror(status);
  }
  return r;
}

std::vector<std::vector<double>> leastSquaresCovariance(
    const std::vector<std::vector<double>>& jacobian) {
  const std::size_t n = jacobian.size();
  const std::size_t p = n == 0 ? 0 : jacobian.front().size();
  std::vector<std::vector<double>> c(p, std::vector<double>(p, 0.0));
  if (p == 0) return c;
  Owned<gsl_matrix, gsl_matrix_free> jac{gsl_matrix_alloc(n, p)};
  Owned<gsl_matrix, gsl_matrix_free> cov{gsl_matrix_alloc(p, p)};
  if (!jac.p || !cov.p) throw std::bad_alloc();
  for (std::size_t i = 0; i < n; ++i) {
    for (std::size_t k = 0; k < p; ++k)
      gsl_matrix_set(jac.p, i, k, jacobian[i][k]);
  }
  GslHandlerOff handler;
  gsl_multifit_nlinear_covar(jac.p, 0.0, cov.p);
  for (std::size_t a = 0; a < p; ++a) {
    for (std::size_t b = 0; b < p; ++b)
      c[a][b] = gsl_matrix_get(cov.p, a, b);
  }
  return c;
}

}  // namespace tarvex
