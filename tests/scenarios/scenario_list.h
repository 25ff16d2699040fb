/* The scenario table: one row per scenario, its name and whether it leaves <name>.emf in the
 * output folder for the comparison of the two flavours. The test build reads these rows too, so
 * a new scenario is one function in scenarios.cpp and one row here. */
SCENARIO(empty_job, EMF)
SCENARIO(empty_job_null_frame, EMF)
SCENARIO(unknown_printer, NO_EMF)
SCENARIO(close_junk_slot, EMF)
