// Tests of the mds reader.
