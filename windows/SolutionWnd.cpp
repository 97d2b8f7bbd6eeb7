#include "windows/SolutionWnd.h"

// Work in progress: the page lands with its own commit.
namespace Windows {

SolutionWnd::SolutionWnd(int featureIndex) : featureIndex(featureIndex) {}

void SolutionWnd::OnFinalMessage(HWND hWnd) {
    WindowImplBase::OnFinalMessage(hWnd);
    delete this;
}

}  // namespace Windows
