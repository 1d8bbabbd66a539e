#include "tools/glyphgen/glyph_learning.h"

#include <algorithm>
#include <limits>
#include <numeric>
#include <stdexcept>

using namespace kavro;

namespace {

using DistanceMatrix = std::vector<std::vector<int>>;

DistanceMatrix distances(const std::vector<GlyphRows>& samples) {
    DistanceMatrix matrix(samples.size(), std::vector<int>(samples.size(), 0));
    for (std::size_t i = 0; i < samples.size(); ++i) {
        for (std::size_t j = i + 1; j < samples.size(); ++j) {
            matrix[i][j] = matrix[j][i] = hammingDistance(samples[i], samples[j]);
        }
    }
    return matrix;
}

// Sum over all samples of the distance to their nearest medoid.
long long clusteringCost(const DistanceMatrix& matrix, const std::vector<std::size_t>& medoids) {
    long long cost = 0;
    for (std::size_t i = 0; i < matrix.size(); ++i) {
        int nearest = std::numeric_limits<int>::max();
        for (const std::size_t m : medoids) {
            nearest = std::min(nearest, matrix[i][m]);
        }
        cost += nearest;
    }
    return cost;
}

// Greedy start: each new medoid is the sample that lowers the cost most
// (the first one on ties, so the result depends only on the sample order).
std::vector<std::size_t> initialMedoids(const DistanceMatrix& matrix, int count) {
    std::vector<std::size_t> medoids;
    while (static_cast<int>(medoids.size()) < count) {
        std::size_t best = 0;
        long long bestCost = std::numeric_limits<long long>::max();
        for (std::size_t candidate = 0; candidate < matrix.size(); ++candidate) {
            if (std::find(medoids.begin(), medoids.end(), candidate) != medoids.end()) {
                continue;
            }
            medoids.push_back(candidate);
            const long long cost = clusteringCost(matrix, medoids);
            medoids.pop_back();
            if (cost < bestCost) {
                bestCost = cost;
                best = candidate;
            }
        }
        medoids.push_back(best);
    }
    return medoids;
}

// Swaps a medoid for a non-medoid while that lowers the cost (PAM).
std::vector<std::size_t> refineMedoids(const DistanceMatrix& matrix,
                                       std::vector<std::size_t> medoids) {
    long long cost = clusteringCost(matrix, medoids);
    for (bool improved = true; improved;) {
        improved = false;
        for (std::size_t slot = 0; slot < medoids.size(); ++slot) {
            for (std::size_t candidate = 0; candidate < matrix.size(); ++candidate) {
                if (std::find(medoids.begin(), medoids.end(), candidate) != medoids.end()) {
                    continue;
                }
                std::vector<std::size_t> trial = medoids;
                trial[slot] = candidate;
                const long long trialCost = clusteringCost(matrix, trial);
                if (trialCost < cost) {
                    cost = trialCost;
                    medoids = trial;
                    improved = true;
                }
            }
        }
    }
    return medoids;
}

std::vector<std::vector<GlyphRows>> membersOf(const std::vector<GlyphRows>& samples,
                                              const DistanceMatrix& matrix,
                                              const std::vector<std::size_t>& medoids) {
    std::vector<std::vector<GlyphRows>> clusters(medoids.size());
    for (std::size_t i = 0; i < samples.size(); ++i) {
        std::size_t nearest = 0;
        for (std::size_t k = 1; k < medoids.size(); ++k) {
            if (matrix[i][medoids[k]] < matrix[i][medoids[nearest]]) {
                nearest = k;
            }
        }
        clusters[nearest].push_back(samples[i]);
    }
    return clusters;
}

} // namespace

GlyphRows meanGlyph(const std::vector<GlyphRows>& samples) {
    std::vector<int> counts(glyphCells, 0);
    for (const GlyphRows& sample : samples) {
        for (int r = 0; r < glyphRows; ++r) {
            for (int c = 0; c < glyphColumns; ++c) {
                counts[static_cast<std::size_t>(r * glyphColumns + c)] += cellSet(sample, r, c);
            }
        }
    }
    GlyphRows mean{};
    const int total = static_cast<int>(samples.size());
    for (int r = 0; r < glyphRows; ++r) {
        for (int c = 0; c < glyphColumns; ++c) {
            if (2 * counts[static_cast<std::size_t>(r * glyphColumns + c)] >= total) {
                setCell(mean, r, c);
            }
        }
    }
    return fillFrame(mean);
}

std::vector<std::size_t> typicalSamples(const std::vector<GlyphRows>& samples, int percent) {
    const GlyphRows mean = meanGlyph(samples);
    std::vector<std::size_t> order(samples.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return hammingDistance(samples[a], mean) < hammingDistance(samples[b], mean);
    });
    order.resize(samples.size() - samples.size() * static_cast<std::size_t>(percent) / 100);
    std::sort(order.begin(), order.end());
    return order;
}

std::vector<GlyphRows> withoutOutliers(const std::vector<GlyphRows>& samples, int percent) {
    std::vector<GlyphRows> kept;
    for (const std::size_t i : typicalSamples(samples, percent)) {
        kept.push_back(samples[i]);
    }
    return kept;
}

std::vector<GlyphRows> clusterGlyphs(const std::vector<GlyphRows>& samples, int count) {
    if (static_cast<int>(samples.size()) < count) {
        throw std::logic_error("fewer samples than clusters");
    }
    const DistanceMatrix matrix = distances(samples);
    const std::vector<std::size_t> medoids = refineMedoids(matrix, initialMedoids(matrix, count));
    std::vector<std::vector<GlyphRows>> clusters = membersOf(samples, matrix, medoids);
    std::stable_sort(clusters.begin(), clusters.end(),
                     [](const auto& a, const auto& b) { return a.size() > b.size(); });
    std::vector<GlyphRows> glyphs;
    for (const auto& members : clusters) {
        glyphs.push_back(meanGlyph(members));
    }
    return glyphs;
}
