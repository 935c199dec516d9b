// Tests of the nrg reader.
