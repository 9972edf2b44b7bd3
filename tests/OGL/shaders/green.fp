!!ARBfp1.0
# Every fragment green.
MOV result.color, {0.0, 1.0, 0.0, 1.0};
END
