// The loadable driver: every export lives in the driver's static library, taken whole.
