// Placeholder so the library has a source until its first real file lands; delete it then.
