/* Baseline for the figures script: the least a program that opens a CD tray on Linux must do,
   the open of the drive's node and the two ioctls traypop makes, in C, with nothing else. */
#include <fcntl.h>
#include <linux/cdrom.h>
#include <sys/ioctl.h>
#include <unistd.h>

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  int device = open(argv[1], O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (device < 0) return 1;
  ioctl(device, CDROM_LOCKDOOR, 0);
  int ejected = ioctl(device, CDROMEJECT, 0);
  close(device);
  return ejected == 0 ? 0 : 1;
}
