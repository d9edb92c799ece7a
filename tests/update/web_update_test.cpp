// below
