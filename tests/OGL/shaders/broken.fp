!!ARBfp1.0
# An instruction that does not exist.
FROB result.color, {0.0, 1.0, 0.0, 1.0};
END
