#include <vocelle/math/modifiedNR.h>

#include <cmath>
#include <vector>

namespace vocelle {

// Every expression below is written in the order in which it must be evaluated: with
// -ffp-contract=off this keeps the results bit for bit the same on every build.

float pythag(float a, float b) {
    const float p = std::fabs(a);
    const float q = std::fabs(b);
    if (p > q) {
        const float r = q / p;
        const float t = 1.0f + r * r;
        return static_cast<float>(static_cast<double>(p) * std::sqrt(static_cast<double>(t)));
    }
    if (b == 0.0f) return 0.0f;
    const float r = p / q;
    const float t = 1.0f + r * r;
    return static_cast<float>(static_cast<double>(q) * std::sqrt(static_cast<double>(t)));
}

namespace {

// (x[r][j], x[r][i]) becomes (x[r][j]*c + x[r][i]*s, x[r][i]*c - x[r][j]*s) for every row r.
void rotateColumns(float** x, int rows, int j, int i, float c, float s) {
    for (int r = 0; r < rows; ++r) {
        const float left = x[r][j];
        const float right = x[r][i];
        x[r][j] = left * c + right * s;
        x[r][i] = right * c - left * s;
    }
}

// Phase 1: Householder reflections from the left (columns) and the right (rows) reduce a to
// upper bidiagonal form, diagonal in w, superdiagonal in e (e[0] stays 0). The reflection
// vectors are left in a for the accumulation phases. Returns the norm used by the
// convergence tests.
float householderBidiagonalise(int m, int n, float** a, float* w, float* e) {
    float g = 0.0f;
    float scale = 0.0f;
    float norm = 0.0f;
    for (int i = 0; i < n; ++i) {
        const int l = i + 1;
        e[i] = scale * g;
        g = 0.0f;
        float s = 0.0f;
        scale = 0.0f;

        // Column reflection: zero a[i+1..m-1][i].
        if (i < m) {
            for (int k = i; k < m; ++k)
                scale += std::fabs(a[k][i]);
            if (scale != 0.0f) {
                for (int k = i; k < m; ++k) {
                    a[k][i] /= scale;
                    s += a[k][i] * a[k][i];
                }
                const float f = a[i][i];
                g = -(SIGN)(std::sqrt(s), f);
                const float h = f * g - s;
                a[i][i] = f - g;
                for (int j = l; j < n; ++j) {
                    float sum = 0.0f;
                    for (int k = i; k < m; ++k)
                        sum += a[k][i] * a[k][j];
                    const float t = sum / h;
                    for (int k = i; k < m; ++k)
                        a[k][j] += t * a[k][i];
                }
                for (int k = i; k < m; ++k)
                    a[k][i] *= scale;
            }
        }
        w[i] = scale * g;
        g = 0.0f;
        s = 0.0f;
        scale = 0.0f;

        // Row reflection: zero a[i][i+2..n-1].
        if (i < m && i != n - 1) {
            for (int k = l; k < n; ++k)
                scale += std::fabs(a[i][k]);
            if (scale != 0.0f) {
                for (int k = l; k < n; ++k) {
                    a[i][k] /= scale;
                    s += a[i][k] * a[i][k];
                }
                const float f = a[i][l];
                g = -(SIGN)(std::sqrt(s), f);
                const float h = f * g - s;
                a[i][l] = f - g;
                for (int k = l; k < n; ++k)
                    e[k] = a[i][k] / h;
                for (int j = l; j < m; ++j) {
                    float t = 0.0f;
                    for (int k = l; k < n; ++k)
                        t += a[j][k] * a[i][k];
                    for (int k = l; k < n; ++k)
                        a[j][k] += t * e[k];
                }
                for (int k = l; k < n; ++k)
                    a[i][k] *= scale;
            }
        }
        norm = (MAX)(norm, std::fabs(w[i]) + std::fabs(e[i]));
    }
    return norm;
}

// Phase 2: multiply the right-hand reflections together into v, last one first.
void accumulateRightTransformations(int n, float** a, const float* e, float** v) {
    float g = 0.0f; // superdiagonal element of the row handled one step earlier
    for (int i = n - 1; i >= 0; --i) {
        const int l = i + 1;
        if (i < n - 1) {
            if (g != 0.0f) {
                // Two divisions in this order, to avoid possible underflow.
                for (int j = l; j < n; ++j)
                    v[j][i] = (a[i][j] / a[i][l]) / g;
                for (int j = l; j < n; ++j) {
                    float t = 0.0f;
                    for (int k = l; k < n; ++k)
                        t += a[i][k] * v[k][j];
                    for (int k = l; k < n; ++k)
                        v[k][j] += t * v[k][i];
                }
            }
            for (int j = l; j < n; ++j) {
                v[i][j] = 0.0f;
                v[j][i] = 0.0f;
            }
        }
        v[i][i] = 1.0f;
        g = e[i];
    }
}

// Phase 3: multiply the left-hand reflections together in place; a becomes U.
void accumulateLeftTransformations(int m, int n, float** a, const float* w) {
    for (int i = (MIN)(m, n) - 1; i >= 0; --i) {
        const int l = i + 1;
        float g = w[i];
        for (int j = l; j < n; ++j)
            a[i][j] = 0.0f;
        if (g != 0.0f) {
            g = 1.0f / g;
            for (int j = l; j < n; ++j) {
                float sum = 0.0f;
                for (int k = l; k < m; ++k)
                    sum += a[k][i] * a[k][j];
                const float t = (sum / a[i][i]) * g;
                for (int k = i; k < m; ++k)
                    a[k][j] += t * a[k][i];
            }
            for (int j = i; j < m; ++j)
                a[j][i] *= g;
        } else {
            for (int j = i; j < m; ++j)
                a[j][i] = 0.0f;
        }
        a[i][i] += 1.0f;
    }
}

bool negligible(float x, float norm) {
    return std::fabs(x) + norm == norm;
}

// Phase 4: implicitly shifted QR sweeps with Givens rotations drive the superdiagonal to
// zero, one singular value at a time from the bottom. Returns false when a value needs more
// than 29 sweeps.
bool diagonalise(int m, int n, float** a, float* w, float* e, float** v, float norm) {
    const int maxSweeps = 29;
    for (int k = n - 1; k >= 0; --k) {
        for (int iteration = 0;; ++iteration) {
            // Splitting test: find the top l of the unreduced block ending at k. Case B means
            // w[l-1] is negligible and e[l] must be cancelled first. l = 0 is always case A
            // (e[0] is zero), so w[-1] is never read.
            int l = k;
            bool cancel = false;
            for (; l > 0; --l) {
                if (negligible(e[l], norm)) break;
                if (negligible(w[l - 1], norm)) {
                    cancel = true;
                    break;
                }
            }

            if (cancel) {
                float c = 0.0f;
                float s = 1.0f;
                const int q = l - 1;
                for (int i = l; i <= k; ++i) {
                    const float f = s * e[i];
                    e[i] = c * e[i];
                    if (negligible(f, norm)) break;
                    const float y = w[i];
                    const float h = pythag(f, y);
                    w[i] = h;
                    const float u = 1.0f / h;
                    c = y * u;
                    s = -f * u;
                    rotateColumns(a, m, q, i, c, s);
                }
            }

            const float z = w[k];
            if (l == k) {
                // Converged; singular values are made non-negative, V carries the sign.
                if (z < 0.0f) {
                    w[k] = -z;
                    for (int j = 0; j < n; ++j)
                        v[j][k] = -v[j][k];
                }
                break;
            }
            if (iteration == maxSweeps) return false;

            // Shift from the bottom 2 x 2 minor.
            float p = w[l];
            float y = w[k - 1];
            float g = e[k - 1];
            float h = e[k];
            float f = ((y - z) * (y + z) + (g - h) * (g + h)) / (2.0f * h * y);
            g = pythag(f, 1.0f);
            f = ((p - z) * (p + z) + h * (y / (f + (SIGN)(g, f)) - h)) / p;

            // QR sweep chasing the bulge from l down to k.
            float c = 1.0f;
            float s = 1.0f;
            for (int j = l; j < k; ++j) {
                const int i = j + 1;
                g = e[i];
                y = w[i];
                h = s * g;
                g = c * g;
                float r = pythag(f, h);
                e[j] = r;
                c = f / r;
                s = h / r;
                f = p * c + g * s;
                g = g * c - p * s;
                h = y * s;
                y = y * c;
                rotateColumns(v, n, j, i, c, s);
                r = pythag(f, h);
                w[j] = r;
                if (r != 0.0f) {
                    const float u = 1.0f / r;
                    c = f * u;
                    s = h * u;
                }
                f = c * g + s * y;
                p = c * y - s * g;
                rotateColumns(a, m, j, i, c, s);
            }
            e[l] = 0.0f;
            e[k] = f;
            w[k] = p;
        }
    }
    return true;
}

} // namespace

bool svdcmp(int m, int n, float** a, float* w, float** v) {
    if (n <= 0) return true;
    if (m < 0) m = 0;
    std::vector<float> e(static_cast<size_t>(n)); // superdiagonal of the bidiagonal form

    const float norm = householderBidiagonalise(m, n, a, w, e.data());
    accumulateRightTransformations(n, a, e.data(), v);
    accumulateLeftTransformations(m, n, a, w);
    return diagonalise(m, n, a, w, e.data(), v, norm);
}

} // namespace vocelle
