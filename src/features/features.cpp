#include "src/features/features.h"

void features_at_setup(RunContext& ctx) {
    for (const FeatureRow& row : feature_table) {
        if (row.setup) row.setup(ctx);
    }
}

void features_at_release(RunContext& ctx, PluginState& state) {
    for (const FeatureRow& row : feature_table) {
        if (row.release) row.release(ctx, state);
    }
}

void features_at_start(RunContext& ctx, PluginState& state) {
    for (const FeatureRow& row : feature_table) {
        if (row.start) row.start(ctx, state);
    }
}

void features_each_frame(RunContext& ctx, PluginState& state) {
    for (const FeatureRow& row : feature_table) {
        if (row.frame) row.frame(ctx, state);
    }
}

void features_at_unload(RunContext& ctx, PluginState& state) {
    for (const FeatureRow& row : feature_table) {
        if (row.unload) row.unload(ctx, state);
    }
}
