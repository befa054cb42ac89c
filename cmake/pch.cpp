// The precompiled headers need a translation unit to be built from; the
// targets that reuse them compile nothing of this one.
