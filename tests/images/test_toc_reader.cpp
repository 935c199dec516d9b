// Tests of the toc reader.
