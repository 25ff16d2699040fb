/* The scenario table: one row per scenario, its name and whether it leaves <name>.emf in the
 * output folder for the comparison of the two flavours. The test build reads these rows too, so
 * a new scenario is one function in scenarios.cpp and one row here. */
SCENARIO(empty_job, EMF)
SCENARIO(empty_job_null_frame, EMF)
SCENARIO(unknown_printer, NO_EMF)
SCENARIO(close_junk_slot, EMF)
SCENARIO(clip_rects, EMF)
SCENARIO(shapes, EMF)
SCENARIO(point_lists, EMF)
SCENARIO(long_lists, EMF)
SCENARIO(degenerate, EMF)
SCENARIO(coordinate_limits, EMF)
SCENARIO(pens, EMF)
SCENARIO(brushes, EMF)
SCENARIO(pattern_brushes, EMF)
SCENARIO(scan_bracket, EMF)
SCENARIO(scan_bracket_pattern, EMF)
