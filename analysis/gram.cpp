#include "analysis/gram.h"

#include <Eigen/Dense>

namespace analysis {

Eigen::MatrixXd gramOf(const Eigen::MatrixXd& x) {
    Eigen::MatrixXd gram = Eigen::MatrixXd::Zero(x.cols(), x.cols());
    gram.selfadjointView<Eigen::Lower>().rankUpdate(x.transpose());
    return gram.selfadjointView<Eigen::Lower>();
}

}  // namespace analysis
