// matrona: a double vector with a settable length and a double matrix with
// settable rows and columns, each with element access and equality.
#ifndef QUARN_MATRONA_H
#define QUARN_MATRONA_H

#include <cstddef>
#include <vector>

#include "QuarnExport.h"

template <class T>
class QUARN_API ecVBase {
public:
    // `n` elements, each `fill`; when `values` is given, the first n are copied from it.
    ecVBase(int n, T fill, const T* values) : v(n > 0 ? static_cast<size_t>(n) : 0u, fill)
    {
        if (values)
            for (size_t i = 0; i < v.size(); ++i) v[i] = values[i];
    }
    virtual ~ecVBase() = default;
    ecVBase(const ecVBase&) = default;
    ecVBase& operator=(const ecVBase&) = default;

    int size() const { return static_cast<int>(v.size()); }
    // New length; new elements take `fill`, kept elements keep their values.
    void resize(int n, T fill) { v.resize(n > 0 ? static_cast<size_t>(n) : 0u, fill); }
    T& operator[](int i) { return v.at(static_cast<size_t>(i)); }
    const T& operator[](int i) const { return v.at(static_cast<size_t>(i)); }
    bool operator==(const ecVBase& o) const { return v == o.v; }
    bool operator!=(const ecVBase& o) const { return !(*this == o); }

private:
    std::vector<T> v;
};

template <class T>
class QUARN_API ecVector : public ecVBase<T> {
public:
    ecVector() : ecVBase<T>(0, T(), nullptr) {}
    explicit ecVector(const ecVBase<T>& base) : ecVBase<T>(base) {}
};

template <class T>
class QUARN_API ecMatrix {
public:
    // rows x cols elements, each `fill`. The fourth and fifth arguments
    // (reserved and a zero flag) are accepted for compatibility.
    ecMatrix(int rows, int cols, T fill, int, bool) { resize(rows, cols, fill, 0); }
    virtual ~ecMatrix() = default;
    ecMatrix(const ecMatrix&) = default;
    ecMatrix& operator=(const ecMatrix&) = default;

    int rows() const { return nRows; }
    int cols() const { return nCols; }
    // New shape; every element takes `fill`.
    void resize(int rows, int cols, T fill, int)
    {
        nRows = rows > 0 ? rows : 0;
        nCols = cols > 0 ? cols : 0;
        if (nRows == 0 || nCols == 0) nRows = nCols = 0;
        m.assign(static_cast<size_t>(nRows) * static_cast<size_t>(nCols), fill);
    }
    T& operator()(int r, int c) { return m.at(index(r, c)); }
    const T& operator()(int r, int c) const { return m.at(index(r, c)); }
    bool operator==(const ecMatrix& o) const { return nRows == o.nRows && nCols == o.nCols && m == o.m; }
    bool operator!=(const ecMatrix& o) const { return !(*this == o); }

private:
    size_t index(int r, int c) const
    {
        if (r < 0 || c < 0 || r >= nRows || c >= nCols) return m.size();  // at() throws
        return static_cast<size_t>(r) * static_cast<size_t>(nCols) + static_cast<size_t>(c);
    }
    int nRows = 0;
    int nCols = 0;
    std::vector<T> m;
};

#endif
