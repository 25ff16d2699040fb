/* The scenario table: one row per scenario, its name and what it leaves in the output folder for
 * the comparison of the two flavours: EMF its metafile <name>.emf, JOB the report <name>.job of the
 * print program it handed a job to, NO_EMF nothing. The test build reads these rows too, so a new
 * scenario is one function in scenarios.cpp and one row here. */
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
SCENARIO(print_handoff, JOB)
SCENARIO(text_whole, EMF)
SCENARIO(text_rotated, EMF)
SCENARIO(text_glyphs, EMF)
SCENARIO(text_sjis, EMF)
