# The Windows program and the registry store; filled in by the next steps.
